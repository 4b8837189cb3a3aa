#include "control/FrameReports.h"

#include "movie/MovieFile.h"
#include "platform/LittleEndianWriter.h"

#include <string>

namespace {

// Tag codes of the movie format that matter here.
constexpr WORD TagEnd = 0;
constexpr WORD TagShowFrame = 1;
constexpr WORD TagDoAction = 12;
constexpr WORD TagFileAttributes = 69;
constexpr DWORD FileAttributeActionScript3 = 0x08;

constexpr BYTE ActionGetUrl = 0x83;
constexpr BYTE ActionEnd = 0x00;

void PutFrameReport(std::vector<BYTE>& out, DWORD frame)
{
    std::string url = std::string("FSCommand:") + FrameReportCommand;
    std::string target = std::to_string(frame);
    DWORD actionLength = DWORD(url.size() + 1 + target.size() + 1);
    DWORD tagLength = 3 + actionLength + 1;
    LittleEndianWriter put(out);
    put.U16(WORD(TagDoAction << 6 | 0x3F)); // long form: the length never needs care
    put.U32(tagLength);
    put.U8(ActionGetUrl);
    put.U16(WORD(actionLength));
    put.Text(url);
    put.U8(0);
    put.Text(target);
    put.U8(0);
    put.U8(ActionEnd);
}

} // namespace

CFrameReportPlan::CFrameReportPlan(CMovieBody body, std::vector<BYTE> made, std::vector<Piece> pieces)
    : m_body(std::move(body))
    , m_made(std::move(made))
    , m_pieces(std::move(pieces))
{
}

std::span<const BYTE> CFrameReportPlan::BytesOf(const Piece& piece) const
{
    return (piece.made ? MadeBytes() : Body()).subspan(piece.offset, piece.length);
}

std::size_t CFrameReportPlan::Size() const
{
    std::size_t size = 0;
    for (const Piece& piece : m_pieces)
        size += piece.length;
    return size;
}

std::optional<CFrameReportPlan> PlanFrameReports(std::span<const BYTE> movie)
{
    CMovieFile file(movie);
    // LZMA movies go to the engine as they are (docs/flash-control.md).
    MovieCoding coding = file.Coding();
    if (coding != MovieCoding::Stored && coding != MovieCoding::Zlib)
        return std::nullopt;
    std::optional<CMovieBody> body = file.WholeBody();
    if (!body)
        return std::nullopt;
    std::optional<MovieFrameHeader> frameHeader = body->FrameHeader();
    if (!frameHeader || !frameHeader->complete)
        return std::nullopt;

    std::vector<BYTE> made;
    std::vector<CFrameReportPlan::Piece> pieces;
    auto addMade = [&](auto put) {
        std::size_t start = made.size();
        put();
        pieces.push_back({ true, start, made.size() - start });
    };
    // The body from `offset` to `end`, joined to the run before it when
    // they meet.
    auto addBody = [&](std::size_t offset, std::size_t end) {
        if (!pieces.empty() && !pieces.back().made && pieces.back().offset + pieces.back().length == offset)
            pieces.back().length = end - pieces.back().offset;
        else
            pieces.push_back({ false, offset, end - offset });
    };
    // The header as it was but for the signature (its length is patched
    // below), then the frame header.
    addMade([&] {
        made.assign(movie.begin(), movie.begin() + CMovieFile::HeaderSize);
        made[0] = 'F';
    });
    addBody(0, frameHeader->size);
    std::size_t total = CMovieFile::HeaderSize + frameHeader->size;
    DWORD frame = 0;
    bool frameStarted = false;
    CTagReader tags = body->Tags();
    while (std::optional<MovieTag> tag = tags.Next()) {
        if (!tag->IsComplete())
            return std::nullopt;
        if (tag->code == TagFileAttributes && tag->length >= 1 && (tag->body[0] & FileAttributeActionScript3))
            return std::nullopt;
        std::size_t tagEnd = tag->bodyOffset + tag->length;
        if (tag->code == TagEnd) {
            addBody(tag->headerOffset, tagEnd);
            total += tagEnd - tag->headerOffset;
            break;
        }
        // The report opens the frame: it runs before the frame's own actions.
        if (!frameStarted && tag->code != TagFileAttributes) {
            std::size_t before = made.size();
            addMade([&] { PutFrameReport(made, frame); });
            total += made.size() - before;
            frameStarted = true;
        }
        addBody(tag->headerOffset, tagEnd);
        total += tagEnd - tag->headerOffset;
        if (tag->code == TagShowFrame) {
            ++frame;
            frameStarted = false;
        }
    }
    if (tags.HeaderCut())
        return std::nullopt;
    // The declared length: the whole file, uncompressed now.
    LittleEndianWriter(made).PatchU32(4, DWORD(total));
    return CFrameReportPlan(std::move(*body), std::move(made), std::move(pieces));
}

std::optional<std::vector<BYTE>> AddFrameReports(std::span<const BYTE> movie)
{
    std::optional<CFrameReportPlan> plan = PlanFrameReports(movie);
    if (!plan)
        return std::nullopt;
    std::vector<BYTE> out;
    out.reserve(plan->Size());
    for (const auto& piece : plan->Pieces()) {
        std::span<const BYTE> bytes = plan->BytesOf(piece);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}
