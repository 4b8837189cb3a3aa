// The movie-file view: header fields, bounded decompression and the tag
// walk, at the edges where the readers built on it used to disagree.

#include "movie/MovieFile.h"

#include "tools/swf/MovieWriter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// 100 x 50 pixels at 12.5 frames a second: a two-byte tag 5, then ShowFrame, End.
CMovieWriter Movie()
{
    CMovieWriter movie(SwfRect::FromPixels(100, 50), 12.5);
    movie.AddTag(5, { 0xAB, 0xCD });
    movie.ShowFrame();
    return movie;
}

std::vector<WORD> Codes(CTagReader tags)
{
    std::vector<WORD> codes;
    while (auto tag = tags.Next())
        codes.push_back(tag->code);
    return codes;
}

} // namespace

TEST(MovieFile, SignaturesVersionAndDeclaredLength)
{
    std::vector<BYTE> stored = Movie().Build({ .version = 9 });
    CMovieFile file(stored);
    EXPECT_EQ(file.Signature(), "FWS");
    EXPECT_EQ(file.Version(), 9);
    EXPECT_EQ(file.DeclaredLength(), stored.size());
    EXPECT_EQ(file.Data().size(), stored.size() - 8);

    struct Case {
        MovieFileLayout layout;
        MovieCoding coding;
    };
    const Case cases[] = {
        { { .compression = MovieCompression::Zlib, .signature2 = 'X' }, MovieCoding::Zlib },
        { { .compression = MovieCompression::Lzma }, MovieCoding::Lzma },
        // LZMA needs all three bytes; a lone 'Z' or a lower-case letter is nothing known.
        { { .signature1 = 'Z', .signature3 = 'X' }, MovieCoding::Unknown },
        { { .signature1 = 'c' }, MovieCoding::Unknown },
    };
    for (const Case& c : cases)
        EXPECT_EQ(CMovieFile(Movie().Build(c.layout)).Coding(), c.coding);

    std::vector<BYTE> seven(stored.begin(), stored.begin() + 7);
    CMovieFile cut(seven);
    EXPECT_FALSE(cut.HasHeader());
    EXPECT_EQ(cut.Coding(), MovieCoding::Unknown);
    EXPECT_TRUE(cut.Signature().empty());
    EXPECT_FALSE(cut.Body(100));
}

TEST(MovieFile, EveryCodingGivesTheSameBodyFrameHeaderAndTags)
{
    std::vector<BYTE> body = Movie().Body();
    for (auto compression : { MovieCompression::Stored, MovieCompression::Zlib, MovieCompression::Lzma }) {
        std::vector<BYTE> bytes = Movie().Build({ .compression = compression });
        auto whole = CMovieFile(bytes).WholeBody();
        ASSERT_TRUE(whole);
        EXPECT_EQ(std::vector<BYTE>(whole->Bytes().begin(), whole->Bytes().end()), body);
        // Whether LZMA reads its end marker once the body is full is the decoder's affair.
        if (compression != MovieCompression::Lzma) {
            EXPECT_FALSE(whole->IsCut());
        }
        auto header = whole->FrameHeader();
        ASSERT_TRUE(header);
        EXPECT_EQ(header->xMax - header->xMin, 2000);
        EXPECT_EQ(header->yMax - header->yMin, 1000);
        EXPECT_EQ(header->frameRate, 0x0C80);
        EXPECT_EQ(header->frameCount, 1);
        EXPECT_TRUE(header->complete);
        EXPECT_EQ(Codes(whole->Tags()), (std::vector<WORD> { 5, 1, 0 }));
    }
    // A body that ends inside its frame header reads the missing fields as 0
    // and has no tags.
    std::vector<BYTE> frameOnly(body.begin(), body.begin() + 3);
    CMovieBody cut(frameOnly, false);
    ASSERT_TRUE(cut.FrameHeader());
    EXPECT_FALSE(cut.FrameHeader()->complete);
    EXPECT_EQ(cut.FrameHeader()->frameRate, 0);
    EXPECT_FALSE(cut.Tags().Next());
    EXPECT_FALSE(CMovieBody({}, false).FrameHeader());
}

TEST(MovieFile, DeclaredLengthsBoundDecompressionButNotAStoredBody)
{
    const std::size_t body = Movie().Body().size();
    for (auto compression : { MovieCompression::Zlib, MovieCompression::Lzma }) {
        // Shorter than the data: cut at L - 8. Longer: the stream's own end.
        auto shorter
            = CMovieFile(Movie().Build({ .compression = compression, .declaredLength = 8 + 10 })).WholeBody();
        ASSERT_TRUE(shorter);
        EXPECT_EQ(shorter->Bytes().size(), 10u);
        EXPECT_TRUE(shorter->IsCut());
        auto longer
            = CMovieFile(Movie().Build({ .compression = compression, .declaredLength = 100000 })).WholeBody();
        ASSERT_TRUE(longer);
        EXPECT_EQ(longer->Bytes().size(), body);
        EXPECT_FALSE(longer->IsCut());
        // No room, or more than any movie needs: refused before decoding.
        for (DWORD declared : { 0u, 7u, 8u, CMovieFile::MaxWholeLength + 1 })
            EXPECT_FALSE(CMovieFile(Movie().Build({ .compression = compression, .declaredLength = declared }))
                             .WholeBody())
                << declared;
    }
    for (DWORD declared : { 0u, 8u + 10u, 0xFFFFFFFFu }) {
        // A stored body is a view of the file's bytes: they must stay.
        std::vector<BYTE> bytes = Movie().Build({ .declaredLength = declared });
        auto stored = CMovieFile(bytes).WholeBody();
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->Bytes().data(), bytes.data() + CMovieFile::HeaderSize);
        EXPECT_EQ(stored->Bytes().size(), body);
    }
}

TEST(MovieFile, DamagedOrCutLzmaGivesNothing)
{
    std::vector<BYTE> good = Movie().Build({ .compression = MovieCompression::Lzma });
    // The compressed length (bytes 8 to 11) is never needed.
    std::vector<BYTE> wrongSize = good;
    std::fill_n(wrongSize.begin() + 8, 4, 0);
    EXPECT_TRUE(CMovieFile(wrongSize).WholeBody());
    // Cut in the properties, or in the data before the end marker.
    for (std::size_t length : { std::size_t(16), std::size_t(17 + 5) })
        EXPECT_FALSE(
            CMovieFile(std::vector<BYTE>(good.begin(), good.begin() + std::ptrdiff_t(length))).WholeBody())
            << length;
    std::vector<BYTE> badProperties = good;
    badProperties[12] = 0xFF;
    EXPECT_FALSE(CMovieFile(badProperties).WholeBody());
}

TEST(MovieFile, TagWalkStopsAtTheEndOfItsBytes)
{
    // A short-form tag 9 of 3 bytes, then a long-form tag 12 of 1.
    const std::vector<BYTE> tags { 0x43, 0x02, 1, 2, 3, 0x3F, 0x03, 1, 0, 0, 0, 0xEE };
    CTagReader reader(tags);
    auto first = reader.Next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->code, 9);
    EXPECT_EQ(first->bodyOffset, 2u);
    EXPECT_FALSE(first->IsLongForm());
    auto second = reader.Next();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->code, 12);
    EXPECT_EQ(second->headerOffset, 5u);
    EXPECT_EQ(second->bodyOffset, 11u);
    EXPECT_TRUE(second->IsLongForm() && second->IsComplete());
    EXPECT_FALSE(reader.Next());
    EXPECT_FALSE(reader.HeaderCut());

    // One byte left over ends the walk; a long-form length cut off is a cut header.
    for (std::size_t end = 6; end < 11; ++end) {
        CTagReader cut(std::span<const BYTE>(tags).first(end), 5);
        EXPECT_FALSE(cut.Next());
        EXPECT_EQ(cut.HeaderCut(), end >= 7) << end;
    }
    // A long-form length past the end: the bytes there are, and nothing after.
    std::vector<BYTE> past { 0x3F, 0x03, 0xFF, 0xFF, 0, 0, 7, 8 };
    CTagReader overlong(past);
    auto tag = overlong.Next();
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->length, 0xFFFFu);
    EXPECT_EQ(tag->body.size(), 2u);
    EXPECT_FALSE(tag->IsComplete());
    EXPECT_FALSE(overlong.Next());
    EXPECT_FALSE(overlong.HeaderCut());
}
