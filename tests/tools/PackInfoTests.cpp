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
        { .signature1 = 'X', .signature2 = 0, .signature3 = 0, .version = 0 },
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

TEST(PackInfo, ReportsMoviesWithoutAFrameRectangleAsZeroSize)
{
    ScratchFolder scratch;
    CommandResult empty = InfoOf(scratch, AssembleMovieFile({}));
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "0x0\n");
    EXPECT_EQ(empty.err, "Failed to locate\n");

    std::vector<BYTE> corrupt = Movie(550, 400).Build({ .compression = MovieCompression::Zlib });
    corrupt[9] ^= 0x55;
    CommandResult damaged = InfoOf(scratch, corrupt);
    EXPECT_EQ(damaged.status, 0);
    EXPECT_EQ(damaged.out, "0x0\n");

    std::vector<BYTE> lzma
        = Movie(550, 400, SwfRgb::FromHex(0xA1B2C3)).Build({ .compression = MovieCompression::Lzma });
    lzma.resize(20); // the stream stops before the frame header
    CommandResult cut = InfoOf(scratch, lzma);
    EXPECT_EQ(cut.status, 0);
    EXPECT_EQ(cut.out, "0x0\n");
    EXPECT_EQ(cut.err, "");
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
