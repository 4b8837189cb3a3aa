// What `quorvel FILE` takes of a movie's or folder's files, and the id its
// saved data goes under.

#include "app/OpenedFile.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const std::string Movie
    = std::string("FWS\x06\x15\x00\x00\x00\x50\x00\x05\xdc\x00\x00\x0f\xa0\x00\x00\x0c\x01\x00", 21);

void Write(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

void WriteSized(const fs::path& path, std::uintmax_t size)
{
    Write(path, "");
    fs::resize_file(path, size);
}

std::vector<std::string> Names(const COpenedFile& opened)
{
    std::vector<std::string> names;
    for (const auto& file : opened.Files())
        names.push_back(file.name);
    return names;
}

TEST(OpenedFileTests, AMovieTakesItsFoldersPlainFilesWithinTheBounds)
{
    ScratchFolder scratch;
    fs::path folder = scratch.path() / "game";
    Write(folder / "game.swf", Movie);
    Write(folder / "data.txt", "colour=green");
    Write(folder / "package.ini", "[SETTINGS]\r\nmainmovie=other.swf\r\n");
    Write(folder / ".hidden", "x");
    Write(folder / "levels" / "one.swf", Movie);
    Write(folder / "back\\slash.txt", "x");
    WriteSized(folder / "a-big.bin", COpenedFile::MaxSiblingBytes - 20);
    WriteSized(folder / "b-too-big.bin", 25);
    WriteSized(folder / "c-fits.bin", 5);
    fs::create_symlink("/etc/passwd", folder / "link.txt");

    // Named from the folder it is in, as on a command line; the copies are
    // made from wherever the run is by then.
    fs::path started = fs::current_path();
    fs::current_path(folder);
    COpenedFile opened;
    std::string error;
    bool opens = opened.Open("game.swf", error);
    fs::current_path(started);
    ASSERT_TRUE(opens) << error;
    EXPECT_EQ(opened.GetKind(), COpenedFile::Kind::Files);
    EXPECT_EQ(
        Names(opened), (std::vector<std::string> { "a-big.bin", "c-fits.bin", "data.txt", "game.swf" }));
    EXPECT_EQ(opened.SettingsText(),
        "[SETTINGS]\r\nfullscreen=false\r\nmainmovie=game.swf\r\nid=" + opened.SavedDataId() + "\r\n");

    fs::path workspace = scratch.path() / "workspace";
    fs::create_directory(workspace);
    ASSERT_TRUE(opened.CopyInto(workspace.string(), error)) << error;
    EXPECT_EQ(fs::file_size(workspace / "a-big.bin"), COpenedFile::MaxSiblingBytes - 20);
    std::ifstream settings(workspace / "package.ini");
    std::string line;
    std::getline(settings, line);
    EXPECT_EQ(line, "[SETTINGS]\r");
}

TEST(OpenedFileTests, TheSameMovieAnywhereHasOneIdAndAFolderSharesIt)
{
    ScratchFolder scratch;
    Write(scratch.path() / "one" / "game.swf", Movie);
    Write(scratch.path() / "two" / "renamed", Movie);
    Write(scratch.path() / "three" / "other.swf", Movie + "more");
    std::string error;
    COpenedFile one, two, three, folder;
    ASSERT_TRUE(one.Open((scratch.path() / "one" / "game.swf").string(), error)) << error;
    ASSERT_TRUE(two.Open((scratch.path() / "two" / "renamed").string(), error)) << error;
    ASSERT_TRUE(three.Open((scratch.path() / "three" / "other.swf").string(), error)) << error;
    ASSERT_TRUE(folder.Open((scratch.path() / "one").string(), error)) << error;
    EXPECT_TRUE(one.SavedDataId().starts_with("swf-"));
    EXPECT_EQ(one.SavedDataId().size(), 20u);
    EXPECT_EQ(one.SavedDataId(), two.SavedDataId());
    EXPECT_EQ(one.SavedDataId(), folder.SavedDataId());
    EXPECT_NE(one.SavedDataId(), three.SavedDataId());
}

TEST(OpenedFileTests, AFolderPlaysItsSettingsOrItsFirstMovieByName)
{
    ScratchFolder scratch;
    fs::path plain = scratch.path() / "plain";
    Write(plain / "b.swf", Movie);
    Write(plain / "a.SWF", Movie);
    Write(plain / "0.txt", "x");
    COpenedFile opened;
    std::string error;
    ASSERT_TRUE(opened.Open(plain.string(), error)) << error;
    EXPECT_NE(opened.SettingsText().find("mainmovie=a.SWF\r\n"), std::string::npos) << opened.SettingsText();

    fs::path set = scratch.path() / "set";
    Write(set / "b.swf", Movie);
    Write(set / "package.ini", "[SETTINGS]\r\nmainmovie=b.swf\r\nid=my-game\r\n");
    COpenedFile withSettings;
    ASSERT_TRUE(withSettings.Open(set.string(), error)) << error;
    EXPECT_EQ(withSettings.SettingsText(), "");
    EXPECT_EQ(withSettings.SavedDataId(), "my-game");
    EXPECT_EQ(Names(withSettings), (std::vector<std::string> { "b.swf", "package.ini" }));
}

TEST(OpenedFileTests, WhatIsNoMovieOrPackageIsRefusedWithItsReason)
{
    ScratchFolder scratch;
    Write(scratch.path() / "fake.swf", "text");
    Write(scratch.path() / "notes.txt", "text");
    Write(scratch.path() / "windows.exe", "MZ but nothing more");
    fs::create_directory(scratch.path() / "empty");
    struct Case {
        std::string name;
        std::string why;
    } cases[] = {
        { "missing", "No such file or directory" },
        { "fake.swf", "not a movie (it does not begin with FWS, CWS or ZWS)" },
        { "notes.txt", "not a movie, a package, a player or a folder" },
        { "empty", "no movie (*.swf) in the folder" },
    };
    for (const auto& c : cases) {
        COpenedFile opened;
        std::string error;
        std::string path = (scratch.path() / c.name).string();
        EXPECT_FALSE(opened.Open(path, error)) << c.name;
        EXPECT_EQ(error, path + ": " + c.why);
    }
    COpenedFile windows;
    std::string error;
    EXPECT_FALSE(windows.Open((scratch.path() / "windows.exe").string(), error));
    EXPECT_TRUE(
        error.starts_with((scratch.path() / "windows.exe").string() + ": a damaged Windows executable: "))
        << error;
}

} // namespace
