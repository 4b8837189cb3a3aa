// quorvel-pack info, run as a user runs it.

#include "support/Command.h"
#include "support/ScratchFolder.h"
#include "tools/swf/MovieWriter.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

const std::string s_pack = QUORVEL_BINARY_DIR "/quorvel-pack";

CommandResult Info(const std::string& arguments)
{
    return RunCommand(ShellQuote(s_pack) + " info " + arguments);
}

CommandResult InfoOf(const ScratchFolder& scratch, const std::vector<BYTE>& movie)
{
    std::string path = scratch / "movie.swf";
    WriteFileBytes(path, movie);
    return Info(ShellQuote(path));
}

// A second of a square moving, after the background colour when there is one.
CMovieWriter Movie(
    int width, int height, std::optional<SwfRgb> background = {}, TagForm form = TagForm::Short)
{
    CMovieWriter movie(SwfRect::FromPixels(width, height), 30);
    if (background)
        movie.SetBackgroundColor(*background, form);
    CShape square(SwfRgb::FromHex(0x00FF00));
    square.AddRectangle(0, 0, 400, 400);
    movie.DefineShape(1, square);
    for (int frame = 0; frame < 30; ++frame) {
        if (frame == 0)
            movie.PlaceObject(1, 1);
        else
            movie.MoveObject(1, SwfMatrix::Translate(frame * 40, frame * 20));
        movie.ShowFrame();
    }
    return movie;
}

} // namespace

TEST(PackInfo, PrintsSizeAndColourForEveryHeaderVariant)
{
    ScratchFolder scratch;
    std::vector<BYTE> body = Movie(550, 400, SwfRgb::FromHex(0xA1B2C3)).Body();
    const MovieFileLayout layouts[] = {
        {},
        { .compression = MovieCompression::Zlib },
        { .version = 0 },
        { .compression = MovieCompression::Zlib, .version = 255 },
        { .declaredLength = 0xFFFFFFFF },
        { .compression = MovieCompression::Lzma, .version = 13 },
        { .compression = MovieCompression::Lzma, .declaredLength = 0xFFFFFFFF },
    };
    for (const MovieFileLayout& layout : layouts) {
        CommandResult result = InfoOf(scratch, AssembleMovieFile(body, layout));
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, "550x400 #A1B2C3\n");
    }

    CMovieWriter wide = Movie(800, 600);
    wide.SetFrameRectBits(24);
    EXPECT_EQ(InfoOf(scratch, wide.Build({ .compression = MovieCompression::Zlib })).out, "800x600\n");
    EXPECT_EQ(InfoOf(scratch, wide.Build({ .compression = MovieCompression::Lzma })).out, "800x600\n");

    EXPECT_EQ(
        InfoOf(scratch, Movie(320, 240, SwfRgb::FromHex(0x123456), TagForm::Long).Build()).out, "320x240\n");

    CMovieWriter black(SwfRect::FromPixels(16, 9), 12);
    black.SetBackgroundColor({});
    EXPECT_EQ(InfoOf(scratch, black.Build()).out, "16x9 #000000\n");
}

// An unknown signature, or a header cut short before the frame rectangle,
// frame rate and count are whole (after decompression), is no movie: no size
// is made up from whatever bytes stand there.
TEST(PackInfo, RejectsFilesThatAreNotMovies)
{
    ScratchFolder scratch;
    std::vector<BYTE> random(3000);
    unsigned seed = 7;
    for (BYTE& b : random) {
        seed = seed * 1103515245 + 12345;
        b = BYTE(seed >> 16);
    }
    std::vector<BYTE> stored = Movie(550, 400).Build();
    std::vector<BYTE> corrupt = Movie(550, 400).Build({ .compression = MovieCompression::Zlib });
    corrupt[9] ^= 0x55;
    std::vector<BYTE> lzma = Movie(550, 400).Build({ .compression = MovieCompression::Lzma });
    lzma.resize(20); // the stream stops before the frame header
    const std::vector<BYTE> notMovies[] = {
        random,
        {},
        { 'F', 'W', 'S' },
        AssembleMovieFile({}),
        std::vector<BYTE>(stored.begin(), stored.begin() + 12),
        AssembleMovieFile(Movie(550, 400).Body(), { .signature1 = 'X', .signature2 = 0, .signature3 = 0 }),
        AssembleMovieFile(Movie(550, 400).Body(), { .signature2 = 'X' }),
        corrupt,
        lzma,
    };
    for (const std::vector<BYTE>& bytes : notMovies) {
        std::string path = scratch / "not a movie.swf";
        WriteFileBytes(path, bytes);
        CommandResult result = Info(ShellQuote(path));
        EXPECT_EQ(result.status, 2) << bytes.size();
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "error: " + path + " is not a movie\n");
    }
    // The file as the command line gives it.
    WriteFileBytes(scratch / "random.bin", random);
    CommandResult relative = RunCommand(
        "cd " + ShellQuote(scratch.path().string()) + " && " + ShellQuote(s_pack) + " info ./random.bin");
    EXPECT_EQ(relative.err, "error: ./random.bin is not a movie\n");
}

TEST(PackInfo, FailsOnUnreadableFilesAndBadUsage)
{
    ScratchFolder scratch;
    CommandResult missing = Info(ShellQuote(scratch / "absent.swf"));
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err.rfind("error: ", 0), 0u) << missing.err;
    EXPECT_NE(missing.err.find("absent.swf"), std::string::npos) << missing.err;

    EXPECT_EQ(Info("").status, 1);
    EXPECT_EQ(Info("a.swf b.swf").status, 1);
}
