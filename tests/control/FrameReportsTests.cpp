// Frame reports: what the control adds to a movie so that it can tell which
// frame the movie shows.

#include "control/FrameReports.h"
#include "movie/MovieFile.h"
#include "tools/swf/MovieWriter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Tag {
    WORD code;
    std::vector<BYTE> payload;
};

// The root tags of an uncompressed movie.
std::vector<Tag> Tags(const std::vector<BYTE>& movie)
{
    auto body = CMovieFile(movie).WholeBody();
    std::vector<Tag> tags;
    CTagReader reader = body->Tags();
    while (auto tag = reader.Next()) {
        tags.push_back({ tag->code, std::vector<BYTE>(tag->body.begin(), tag->body.end()) });
        if (tag->code == 0)
            break;
    }
    return tags;
}

std::string ReportIn(const Tag& tag)
{
    std::string text(tag.payload.begin(), tag.payload.end());
    if (tag.code != 12 || text.empty() || text[0] != '\x83')
        return {};
    size_t url = 3, target = text.find('\0', url) + 1;
    if (text.compare(url, target - 1 - url, "FSCommand:quorvel:frame") != 0)
        return {};
    return text.substr(target, text.find('\0', target) - target);
}

std::vector<BYTE> ThreeFrames(MovieCompression compression)
{
    CMovieWriter writer({ 0, 11000, 0, 8000 }, 12);
    writer.SetBackgroundColor({ 0x33, 0x66, 0x99 });
    writer.ShowFrame();
    writer.DoAction(CActionList().FsCommand("fullscreen", "true"));
    writer.ShowFrame();
    writer.DoAction(CActionList().Stop());
    writer.ShowFrame();
    return writer.Build({ compression });
}

TEST(FrameReports, EveryFrameOpensWithItsNumberAheadOfItsOwnActions)
{
    for (auto compression : { MovieCompression::Stored, MovieCompression::Zlib }) {
        auto out = AddFrameReports(ThreeFrames(compression));
        ASSERT_TRUE(out);
        EXPECT_EQ((*out)[0], 'F');
        DWORD declared = DWORD((*out)[4] | (*out)[5] << 8 | (*out)[6] << 16 | DWORD((*out)[7]) << 24);
        EXPECT_EQ(declared, out->size());

        auto tags = Tags(*out);
        std::vector<std::string> frames;
        std::vector<WORD> codes;
        for (const auto& tag : tags) {
            std::string report = ReportIn(tag);
            if (!report.empty())
                frames.push_back(report);
            codes.push_back(tag.code);
        }
        EXPECT_EQ(frames, (std::vector<std::string> { "0", "1", "2" }));
        // report, background, show | report, movie's action, show | report, stop, show | end
        EXPECT_EQ(codes, (std::vector<WORD> { 12, 9, 1, 12, 12, 1, 12, 12, 1, 0 }));
    }
}

TEST(FrameReports, MoviesItCannotRewriteComeBackAsNothing)
{
    // ActionScript 3: frame actions of the first kind are not run at all.
    CMovieWriter as3({ 0, 2000, 0, 2000 }, 12);
    as3.AddTag(69, { 0x08, 0, 0, 0 });
    as3.ShowFrame();
    EXPECT_FALSE(AddFrameReports(as3.Build()));

    auto movie = ThreeFrames(MovieCompression::Stored);
    std::vector<BYTE> lzma = movie;
    lzma[0] = 'Z';
    EXPECT_FALSE(AddFrameReports(lzma));

    // A tag that claims more bytes than the file holds.
    std::vector<BYTE> cut(movie.begin(), movie.end() - 2);
    cut.insert(cut.end(), { 0x3F, 0x03, 0xFF, 0xFF, 0, 0, 0x07 });
    EXPECT_FALSE(AddFrameReports(cut));
    EXPECT_FALSE(AddFrameReports(std::vector<BYTE>(movie.begin(), movie.begin() + 5)));

    std::vector<BYTE> corrupt = ThreeFrames(MovieCompression::Zlib);
    corrupt[12] ^= 0xFF;
    corrupt[13] ^= 0xFF;
    EXPECT_FALSE(AddFrameReports(corrupt));
}

TEST(FrameReports, ToleratesAMovieWithoutItsEndTag)
{
    auto movie = ThreeFrames(MovieCompression::Stored);
    movie.resize(movie.size() - 2); // the End tag
    auto out = AddFrameReports(movie);
    ASSERT_TRUE(out);
    int reports = 0;
    for (const auto& tag : Tags(*out))
        reports += !ReportIn(tag).empty();
    EXPECT_EQ(reports, 3);
}

// A large stored movie is served from its own bytes: the plan refers to
// them in place and makes only the header and the reports; a compressed
// one's plan owns its inflated body, so it outlives the input.
TEST(FrameReports, APlanKeepsAStoredMovieInPlaceAndOwnsAnInflatedOne)
{
    CMovieWriter writer({ 0, 11000, 0, 8000 }, 12);
    writer.ShowFrame();
    writer.AddTag(255, std::vector<BYTE>(1 << 20, 0x5A), TagForm::Long); // a tag the engine skips
    writer.ShowFrame();
    auto stored = writer.Build({ MovieCompression::Stored });
    auto plan = PlanFrameReports(stored);
    ASSERT_TRUE(plan);
    EXPECT_LT(plan->MadeBytes().size(), 200u);
    size_t inPlace = 0;
    for (const auto& piece : plan->Pieces()) {
        auto bytes = plan->BytesOf(piece);
        if (bytes.data() >= stored.data() && bytes.data() + bytes.size() <= stored.data() + stored.size())
            inPlace += bytes.size();
    }
    EXPECT_GT(inPlace, size_t(1 << 20));
    EXPECT_EQ(plan->Size(), AddFrameReports(stored)->size());

    std::optional<CFrameReportPlan> inflated;
    {
        auto zlib = writer.Build({ MovieCompression::Zlib });
        inflated = PlanFrameReports(zlib);
    }
    ASSERT_TRUE(inflated);
    std::vector<BYTE> joined;
    for (const auto& piece : inflated->Pieces()) {
        auto bytes = inflated->BytesOf(piece);
        joined.insert(joined.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(joined, *AddFrameReports(stored));
}

} // namespace
