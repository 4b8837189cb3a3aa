// What the control keeps of the movies' saved data, and which movies get the
// system's CJK fonts.

#include "control/MovieText.h"
#include "control/SavedObjects.h"
#include "support/ScratchFolder.h"
#include "tools/swf/EditText.h"
#include "tools/swf/MovieWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

TEST(SavedObjects, ItemsSurviveAReopenWhateverTheyHold)
{
    ScratchFolder scratch;
    std::string folder = scratch / "saved/package-1";
    const std::string awkward = "a b%c\nd\r\x01\x7F \xE4\xB8\xAD";
    {
        CSavedObjects saved;
        saved.Open(folder);
        EXPECT_TRUE(saved.Items().empty());
        saved.Set("package/game.swf/progress", "AAEC");
        saved.Set(awkward, awkward);
        saved.Set("gone", "x");
        saved.Remove("gone");
        EXPECT_TRUE(saved.LastWriteSucceeded());
    }
    // The folder is made, private to the user, with nothing else left in it.
    struct stat status { };
    ASSERT_EQ(stat(folder.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

    CSavedObjects again;
    again.Open(folder);
    EXPECT_EQ(again.Items(),
        (std::map<std::string, std::string> {
            { "package/game.swf/progress", "AAEC" }, { awkward, awkward } }));
    again.Clear();
    CSavedObjects cleared;
    cleared.Open(folder);
    EXPECT_TRUE(cleared.Items().empty());
}

TEST(SavedObjects, ADamagedFileStartsEmptyAndAnUnwritableFolderKeepsTheRun)
{
    ScratchFolder scratch;
    std::string folder = scratch.path().string();
    for (const char* damaged :
        { "", "something else\nk v\n", "quorvel saved data 1\nno-space\n", "quorvel saved data 1\nk %4\n" }) {
        std::ofstream(folder + "/" + CSavedObjects::FileName(), std::ios::binary) << damaged;
        CSavedObjects saved;
        saved.Open(folder);
        EXPECT_TRUE(saved.Items().empty()) << damaged;
    }

    // A file where the folder should be: the items live for the run only.
    std::ofstream(scratch / "blocked") << "x";
    CSavedObjects saved;
    saved.Open(scratch / "blocked/inner");
    saved.Set("k", "v");
    EXPECT_FALSE(saved.LastWriteSucceeded());
    EXPECT_EQ(saved.Items().at("k"), "v");

    // No folder: nothing is written anywhere.
    CSavedObjects nowhere;
    nowhere.Open("");
    nowhere.Set("k", "v");
    EXPECT_TRUE(nowhere.LastWriteSucceeded());
}

namespace {

std::vector<BYTE> TextMovie(
    const std::string& font, const std::string& text, MovieCompression compression = MovieCompression::Stored)
{
    CMovieWriter movie(SwfRect::FromPixels(100, 100), 12.0);
    movie.DefineFont2(1, font);
    SwfEditText field;
    field.bounds = { 0, 2000, 0, 400 };
    field.fontId = 1;
    field.text = text;
    movie.DefineEditText(2, field);
    movie.PlaceObject(1, 2);
    movie.ShowFrame();
    MovieFileLayout layout;
    layout.compression = compression;
    return movie.Build(layout);
}

} // namespace

TEST(MovieText, CjkTextOrFontsAskForTheSystemFonts)
{
    EXPECT_FALSE(MovieShowsCjkText(TextMovie("_sans", "Latin text")));
    EXPECT_TRUE(MovieShowsCjkText(TextMovie("_sans", "中文")));
    EXPECT_TRUE(MovieShowsCjkText(TextMovie("_sans", "かな", MovieCompression::Zlib)));
    EXPECT_TRUE(MovieShowsCjkText(TextMovie("_sans", "한국어")));
    EXPECT_TRUE(MovieShowsCjkText(TextMovie("宋体", "Latin")));
    EXPECT_TRUE(MovieShowsCjkText(TextMovie("SimSun", "Latin")));
    EXPECT_FALSE(MovieShowsCjkText(TextMovie("Arial", "Ünïcödé Latin")));

    // Text set by a script counts too; the same bytes inside a sound do not.
    CMovieWriter scripted(SwfRect::FromPixels(100, 100), 12.0);
    scripted.DoAction(CActionList().Push("title", "中文").SetVariable());
    scripted.ShowFrame();
    EXPECT_TRUE(MovieShowsCjkText(scripted.Build()));
    CMovieWriter sound(SwfRect::FromPixels(100, 100), 12.0);
    std::string cjk = "中文";
    std::vector<std::int16_t> samples(cjk.size() / 2 + 1, 0);
    std::memcpy(samples.data(), cjk.data(), cjk.size());
    sound.DefineSound(1, 22050, false, samples);
    sound.ShowFrame();
    EXPECT_FALSE(MovieShowsCjkText(sound.Build()));

    // What cannot be read is given the fonts rather than left without them.
    EXPECT_TRUE(MovieShowsCjkText(std::vector<BYTE> { 'Z', 'W', 'S', 13, 0, 0, 0, 0, 0, 0 }));
    EXPECT_TRUE(MovieShowsCjkText(std::vector<BYTE> { 'F', 'W' }));
}
