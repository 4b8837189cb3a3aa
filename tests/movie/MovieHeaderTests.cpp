#include "movie/MovieHeader.h"
#include "movie/StageColour.h"

#include "platform/FileException.h"
#include "platform/MessageBox.h"
#include "support/Command.h"
#include "support/RecordingPresenter.h"
#include "support/ScratchFolder.h"
#include "tools/swf/MovieWriter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr DWORD Untouched = 0xDEADBEEF;

class MovieHeader : public testing::Test {
protected:
    void SetUp() override { m_previous = SetMessageBoxPresenter(&m_presenter); }
    void TearDown() override { SetMessageBoxPresenter(m_previous); }

    MovieSize Read(const std::vector<BYTE>& file, DWORD& colour)
    {
        std::string path = m_scratch / "movie.swf";
        WriteFileBytes(path, file);
        return ReadMovieHeader(path, colour);
    }

    MovieSize Read(const std::vector<BYTE>& file)
    {
        DWORD colour = Untouched;
        return Read(file, colour);
    }

    bool LocateFailed() const
    {
        return m_presenter.m_texts == std::vector<CString> { "Failed to locate" }
        && m_presenter.m_types == std::vector<UINT> { 0 };
    }

    ScratchFolder m_scratch;
    CRecordingPresenter m_presenter;
    IMessageBoxPresenter* m_previous { nullptr };
};

// A 550 x 400 movie with one shape, starting with the background colour #336699.
CMovieWriter SampleMovie(TagForm backgroundForm = TagForm::Short)
{
    CMovieWriter movie(SwfRect::FromPixels(550, 400), 24);
    movie.SetBackgroundColor(SwfRgb::FromHex(0x336699), backgroundForm);
    CShape shape(SwfRgb::FromHex(0xFF0000));
    shape.AddRectangle(0, 0, 2000, 1000);
    shape.AddCircle({ 4000, 4000 }, 1500);
    movie.DefineShape(1, shape);
    movie.PlaceObject(1, 1, SwfMatrix::Translate(200, 200));
    movie.ShowFrame();
    // Enough frames that the body compresses well; the reader takes no more
    // than L - 4 bytes of a compressed body.
    for (int frame = 1; frame < 24; ++frame) {
        movie.MoveObject(1, SwfMatrix::Translate(200 + 20 * frame, 200));
        movie.ShowFrame();
    }
    movie.DoAction(CActionList().Stop().FsCommand("quit"));
    movie.ShowFrame();
    return movie;
}

} // namespace

TEST_F(MovieHeader, StoredAndCompressedGiveTheSameSizeAndColour)
{
    CMovieWriter movie = SampleMovie();
    for (MovieCompression compression : { MovieCompression::Stored, MovieCompression::Zlib }) {
        DWORD colour = Untouched;
        EXPECT_EQ(Read(movie.Build({ .compression = compression }), colour), (MovieSize { 550, 400 }));
        EXPECT_EQ(colour, 0x336699u);
    }
    EXPECT_TRUE(m_presenter.m_texts.empty());
}

TEST_F(MovieHeader, DecodesTheFrameRectangleByteForByte)
{
    // Nbits 15, Xmax 11000, Ymax 8000, then frame rate, frame count, End.
    std::vector<BYTE> body { 0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x18, 0x01, 0x00,
        0x00, 0x00 };
    EXPECT_EQ(Read(AssembleMovieFile(body)), (MovieSize { 550, 400 }));
}

TEST_F(MovieHeader, DropsFractionsOfPixelsAndHonoursNegativeMinimums)
{
    struct Case {
        SwfRect rect;
        int bits;
        MovieSize size;
    };
    const Case cases[] = {
        { { 0, 11019, 0, 8019 }, 0, { 550, 400 } },
        { { 20, 11020, 20, 8020 }, 0, { 550, 400 } },
        { { -200, 10800, -200, 7800 }, 15, { 550, 400 } },
        // Wider than 16 bits: the sign comes from bit 19, not bit 15.
        { { -200, 10800, -200, 7800 }, 20, { 550, 400 } },
        { { -11000, 0, -8000, 0 }, 31, { 550, 400 } },
        // A rectangle upside down, and one that cannot say anything.
        { { 11000, 0, 0, 8000 }, 0, { -550, 400 } },
        { { 0, 0, 0, 0 }, 0, { 0, 0 } },
    };
    for (const Case& c : cases) {
        CMovieWriter movie(c.rect, 12);
        if (c.bits)
            movie.SetFrameRectBits(c.bits);
        movie.ShowFrame();
        EXPECT_EQ(Read(movie.Build()), c.size) << c.rect.xMin << ".." << c.rect.xMax << " in " << c.bits;
    }
}

TEST_F(MovieHeader, ReportsOnlyAShortBackgroundTagThatComesFirst)
{
    DWORD colour = Untouched;
    EXPECT_EQ(Read(SampleMovie(TagForm::Long).Build(), colour), (MovieSize { 550, 400 }));
    EXPECT_EQ(colour, Untouched);

    CMovieWriter late(SwfRect::FromPixels(100, 50), 12);
    late.ShowFrame();
    late.SetBackgroundColor(SwfRgb::FromHex(0x336699));
    EXPECT_EQ(Read(late.Build(), colour), (MovieSize { 100, 50 }));
    EXPECT_EQ(colour, Untouched);

    // Black is a colour like any other.
    CMovieWriter black(SwfRect::FromPixels(100, 50), 12);
    black.SetBackgroundColor({});
    EXPECT_EQ(Read(black.Build(), colour), (MovieSize { 100, 50 }));
    EXPECT_EQ(colour, 0u);
}

TEST_F(MovieHeader, IgnoresSignatureAndVersionBytes)
{
    std::vector<BYTE> body = SampleMovie().Body();
    const MovieFileLayout layouts[] = {
        { .signature1 = 'Z', .signature2 = 0, .signature3 = 0xFF, .version = 0 },
        { .signature1 = 0x63, .version = 255 }, // a lower-case 'c' is not compressed
        { .compression = MovieCompression::Zlib, .signature2 = 'X', .signature3 = 'X', .version = 1 },
    };
    for (const MovieFileLayout& layout : layouts) {
        DWORD colour = Untouched;
        EXPECT_EQ(Read(AssembleMovieFile(body, layout), colour), (MovieSize { 550, 400 }));
        EXPECT_EQ(colour, 0x336699u);
    }
}

TEST_F(MovieHeader, CorruptOrOversizedCompressedBodiesGiveZeroSize)
{
    std::vector<BYTE> corrupt = SampleMovie().Build({ .compression = MovieCompression::Zlib });
    corrupt[8] ^= 0xFF; // the zlib stream header
    std::vector<BYTE> truncated = SampleMovie().Build({ .compression = MovieCompression::Zlib });
    truncated.resize(truncated.size() - 10);
    // A stored movie labelled compressed is no zlib stream either.
    std::vector<BYTE> stored = SampleMovie().Build({ .signature1 = 'C' });
    // The body inflates to more than the declared length leaves room for.
    std::vector<BYTE> tooLong
        = SampleMovie().Build({ .compression = MovieCompression::Zlib, .declaredLength = 8 + 10 });
    // A body too small to compress: its stream is longer than L - 4 bytes, and
    // the reader takes no more than that.
    CMovieWriter tiny(SwfRect::FromPixels(550, 400), 12);
    tiny.SetBackgroundColor(SwfRgb::FromHex(0x336699));
    std::vector<BYTE> streamTooLong = tiny.Build({ .compression = MovieCompression::Zlib });
    ASSERT_GT(streamTooLong.size() - 8, std::size_t(streamTooLong[4]) - 4);
    for (const auto& file : { corrupt, truncated, stored, tooLong, streamTooLong }) {
        DWORD colour = Untouched;
        EXPECT_EQ(Read(file, colour), (MovieSize { 0, 0 }));
        EXPECT_EQ(colour, Untouched);
    }
    EXPECT_TRUE(m_presenter.m_texts.empty());
}

TEST_F(MovieHeader, DeclaredLengthsBeyondTheFileCostNothingAndChangeNothing)
{
    for (MovieCompression compression : { MovieCompression::Stored, MovieCompression::Zlib }) {
        for (DWORD declared : { 0xFFFFFFFFu, 0x7FFFFFFFu, 100000u }) {
            DWORD colour = Untouched;
            MovieSize size = Read(
                SampleMovie().Build({ .compression = compression, .declaredLength = declared }), colour);
            EXPECT_EQ(size, (MovieSize { 550, 400 })) << declared;
            EXPECT_EQ(colour, 0x336699u);
        }
    }
}

TEST_F(MovieHeader, EmptyBodiesFailToLocate)
{
    std::vector<BYTE> headerOnly = AssembleMovieFile({}); // L = 8, nothing after the header
    std::vector<BYTE> lengthFour
        = AssembleMovieFile(std::vector<BYTE> { 0x78, 0x00 }, { .declaredLength = 4 });
    // A zlib stream of nothing, with room declared for the stream to be read.
    std::vector<BYTE> emptyStream
        = AssembleMovieFile({}, { .compression = MovieCompression::Zlib, .declaredLength = 8 + 16 });
    const std::vector<BYTE> files[]
        = { {}, { 'F', 'W', 'S', 8, 30, 0, 0 }, headerOnly, lengthFour, emptyStream };
    for (const auto& file : files) {
        m_presenter.m_texts.clear();
        m_presenter.m_types.clear();
        DWORD colour = Untouched;
        EXPECT_EQ(Read(file, colour), (MovieSize { 0, 0 })) << file.size();
        EXPECT_EQ(colour, Untouched);
        EXPECT_TRUE(LocateFailed()) << file.size();
    }
}

TEST_F(MovieHeader, MalformedLengthsAndTruncatedFilesStayInsideTheirBuffers)
{
    std::vector<BYTE> body = SampleMovie().Body();
    // A declared length below 4 leaves no body at all.
    for (DWORD declared : { 0u, 1u, 3u }) {
        m_presenter.m_texts.clear();
        m_presenter.m_types.clear();
        EXPECT_EQ(Read(AssembleMovieFile(body, { .declaredLength = declared })), (MovieSize { 0, 0 }));
        EXPECT_TRUE(LocateFailed());
        m_presenter.m_texts.clear();
        EXPECT_EQ(Read(AssembleMovieFile(
                      body, { .compression = MovieCompression::Zlib, .declaredLength = declared })),
            (MovieSize { 0, 0 }));
        EXPECT_TRUE(m_presenter.m_texts.empty());
    }

    // A stored file cut anywhere: the bytes it lacks read as zeros, a colour
    // is reported only when all its bytes are there.
    std::vector<BYTE> file = SampleMovie().Build();
    const std::size_t colourEnd = 8 + 9 + 4 + 2 + 3;
    for (std::size_t length = 9; length <= colourEnd + 1; ++length) {
        DWORD colour = Untouched;
        MovieSize size = Read(std::vector<BYTE>(file.begin(), file.begin() + std::ptrdiff_t(length)), colour);
        if (length >= 8 + 9) {
            EXPECT_EQ(size, (MovieSize { 550, 400 })) << length;
        }
        EXPECT_EQ(colour, length >= colourEnd ? 0x336699u : Untouched) << length;
    }
    // Nbits 31 with nothing behind it.
    // Xmin = 0b111 followed by 28 zeros in 31 bits, everything after it zero.
    EXPECT_EQ(Read(AssembleMovieFile(std::vector<BYTE> { 0xFF })), (MovieSize { 0x10000000 / 20, 0 }));
}

TEST_F(MovieHeader, AMissingFileRaisesTheFileError)
{
    DWORD colour = Untouched;
    EXPECT_THROW(ReadMovieHeader(m_scratch / "absent.swf", colour), CFileException);
    EXPECT_EQ(colour, Untouched);
}

TEST_F(MovieHeader, TheSampleLogoIsALoopingMovieOfTheSampleSize)
{
    std::string logo = QUORVEL_BINARY_DIR "/res/logo.swf";
    DWORD colour = Untouched;
    EXPECT_EQ(ReadMovieHeader(logo, colour), (MovieSize { 550, 400 }));
    EXPECT_EQ(colour, 0x14213Du);

    // Its structure, walked by a reader that shares no code with the writer.
    if (!HasProgram("python3"))
        GTEST_SKIP() << "python3 is not installed";
    CommandResult walk = RunCommand(
        "python3 " + ShellQuote(QUORVEL_SOURCE_DIR "/tests/movie/walk_movie.py") + " " + ShellQuote(logo));
    EXPECT_EQ(walk.status, 0) << walk.err;
    EXPECT_NE(walk.out.find("frames 96"), std::string::npos) << walk.out;
}

TEST_F(MovieHeader, LzmaMoviesGiveWhatTheStoredMovieGives)
{
    CMovieWriter wide(SwfRect::FromPixels(800, 600), 12);
    wide.SetFrameRectBits(31); // the widest frame header there is
    wide.SetBackgroundColor(SwfRgb::FromHex(0xA1B2C3));
    wide.ShowFrame();
    CMovieWriter tiny(SwfRect::FromPixels(16, 9), 12); // a body shorter than the widest header
    tiny.SetBackgroundColor(SwfRgb::FromHex(0x010203));
    CMovieWriter late(SwfRect::FromPixels(100, 50), 12);
    late.ShowFrame();
    late.SetBackgroundColor(SwfRgb::FromHex(0x336699));
    for (const CMovieWriter& movie : { SampleMovie(), SampleMovie(TagForm::Long), wide, tiny, late }) {
        DWORD stored = Untouched;
        DWORD lzma = Untouched;
        MovieSize storedSize = Read(movie.Build(), stored);
        std::vector<BYTE> file = movie.Build({ .compression = MovieCompression::Lzma, .version = 13 });
        ASSERT_EQ(std::string(file.begin(), file.begin() + 3), "ZWS");
        EXPECT_EQ(Read(file, lzma), storedSize);
        EXPECT_EQ(lzma, stored);
    }
    EXPECT_TRUE(m_presenter.m_texts.empty());
}

TEST_F(MovieHeader, DamagedOrTruncatedLzmaMoviesGiveZeroSize)
{
    std::vector<BYTE> good = SampleMovie().Build({ .compression = MovieCompression::Lzma });
    const std::size_t dataStart = 17;
    std::vector<std::vector<BYTE>> files;
    // Cut anywhere before the stream gives the header's bytes (the first 32
    // bytes of data are more than those need).
    for (std::size_t length : { std::size_t(8), std::size_t(12), std::size_t(16), dataStart, dataStart + 4 })
        files.emplace_back(good.begin(), good.begin() + std::ptrdiff_t(length));
    std::vector<BYTE> badProperties = good;
    badProperties[12] = 0xFF; // lc/lp/pb beyond what LZMA allows
    files.push_back(badProperties);
    std::vector<BYTE> hugeDictionary = good;
    std::fill_n(hugeDictionary.begin() + 13, 4, 0xFF);
    std::vector<BYTE> badData = good;
    badData[dataStart] = 0xFF; // the range coder's first byte is always 0
    files.push_back(badData);
    // Nothing declared after the header: nothing to decode.
    for (DWORD declared : { 0u, 7u, 8u })
        files.push_back(
            SampleMovie().Build({ .compression = MovieCompression::Lzma, .declaredLength = declared }));
    for (const auto& file : files) {
        DWORD colour = Untouched;
        EXPECT_EQ(Read(file, colour), (MovieSize { 0, 0 })) << file.size();
        EXPECT_EQ(colour, Untouched);
    }
    EXPECT_TRUE(m_presenter.m_texts.empty());

    // A dictionary declared at 4 GiB is not allocated: the header needs little.
    DWORD colour = Untouched;
    EXPECT_EQ(Read(hugeDictionary, colour), (MovieSize { 550, 400 }));
    EXPECT_EQ(colour, 0x336699u);
    // Garbage after the header's bytes is never decoded.
    std::vector<BYTE> damagedTail = good;
    for (std::size_t i = good.size() / 2; i < good.size(); ++i)
        damagedTail[i] ^= 0x5A;
    EXPECT_EQ(Read(damagedTail), (MovieSize { 550, 400 }));
    // A declared length beyond the file changes nothing; one that ends
    // before the first tag leaves it undecoded, as for a stored movie.
    EXPECT_EQ(
        Read(SampleMovie().Build({ .compression = MovieCompression::Lzma, .declaredLength = 0xFFFFFFFF })),
        (MovieSize { 550, 400 }));
    colour = Untouched;
    EXPECT_EQ(
        Read(SampleMovie().Build({ .compression = MovieCompression::Lzma, .declaredLength = 8 + 9 }), colour),
        (MovieSize { 550, 400 }));
    EXPECT_EQ(colour, Untouched);
}

// The stage colour the control gives the engine from the start: the first
// frame's colour, wherever in that frame it is set and however the movie is
// compressed; a colour set later, or never, is none.
TEST(StageColour, OnlyTheFirstFramesFirstColourCounts)
{
    CMovieWriter late(SwfRect::FromPixels(100, 100), 12);
    late.ShowFrame();
    late.SetBackgroundColor(SwfRgb::FromHex(0x336699));
    late.ShowFrame();
    CMovieWriter none(SwfRect::FromPixels(100, 100), 12);
    none.ShowFrame();
    CMovieWriter attributed(SwfRect::FromPixels(100, 100), 12);
    attributed.AddTag(69, { 0x08, 0, 0, 0 }); // FileAttributes: networking allowed
    CShape shape(SwfRgb::FromHex(0xFF0000));
    shape.AddRectangle(0, 0, 200, 200);
    attributed.DefineShape(1, shape);
    attributed.SetBackgroundColor(SwfRgb::FromHex(0x102030), TagForm::Long);
    attributed.SetBackgroundColor(SwfRgb::FromHex(0xFFFFFF));
    attributed.ShowFrame();

    for (MovieCompression compression :
        { MovieCompression::Stored, MovieCompression::Zlib, MovieCompression::Lzma }) {
        EXPECT_EQ(FirstFrameStageColour(attributed.Build({ .compression = compression })), 0x102030u);
        EXPECT_EQ(FirstFrameStageColour(late.Build({ .compression = compression })), std::nullopt);
        EXPECT_EQ(FirstFrameStageColour(none.Build({ .compression = compression })), std::nullopt);
    }
    std::vector<BYTE> cut = attributed.Build();
    cut.resize(cut.size() - 12); // within the colour tag
    EXPECT_EQ(FirstFrameStageColour(cut), std::nullopt);
    EXPECT_EQ(FirstFrameStageColour({}), std::nullopt);
}
