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

std::optional<std::vector<BYTE>> AddFrameReports(std::span<const BYTE> movie)
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
    std::span<const BYTE> in = body->Bytes();

    // The header as it was but for the signature, then the frame header.
    std::vector<BYTE> out(movie.begin(), movie.begin() + CMovieFile::HeaderSize);
    out[0] = 'F';
    out.insert(out.end(), in.begin(), in.begin() + std::ptrdiff_t(frameHeader->size));
    auto copy = [&](const MovieTag& tag) {
        out.insert(out.end(), in.begin() + std::ptrdiff_t(tag.headerOffset),
            in.begin() + std::ptrdiff_t(tag.bodyOffset + tag.length));
    };
    DWORD frame = 0;
    bool frameStarted = false;
    CTagReader tags = body->Tags();
    while (std::optional<MovieTag> tag = tags.Next()) {
        if (!tag->IsComplete())
            return std::nullopt;
        if (tag->code == TagFileAttributes && tag->length >= 1 && (tag->body[0] & FileAttributeActionScript3))
            return std::nullopt;
        if (tag->code == TagEnd) {
            copy(*tag);
            break;
        }
        // The report opens the frame: it runs before the frame's own actions.
        if (!frameStarted && tag->code != TagFileAttributes) {
            PutFrameReport(out, frame);
            frameStarted = true;
        }
        copy(*tag);
        if (tag->code == TagShowFrame) {
            ++frame;
            frameStarted = false;
        }
    }
    if (tags.HeaderCut())
        return std::nullopt;
    // The declared length: the whole file, uncompressed now.
    LittleEndianWriter(out).PatchU32(4, DWORD(out.size()));
    return out;
}
