#include "movie/StageColour.h"

#include "movie/MovieFile.h"

namespace {

constexpr WORD EndTag = 0;
constexpr WORD ShowFrameTag = 1;
constexpr WORD SetBackgroundColorTag = 9;

} // namespace

std::optional<DWORD> FirstFrameStageColour(std::span<const BYTE> movie, std::size_t limit)
{
    CMovieFile file(movie);
    if (file.Coding() == MovieCoding::Unknown)
        return std::nullopt;
    std::optional<CMovieBody> body = file.Body(limit);
    if (!body)
        return std::nullopt;
    std::optional<MovieFrameHeader> frameHeader = body->FrameHeader();
    if (!frameHeader || !frameHeader->complete)
        return std::nullopt;
    CTagReader tags = body->Tags();
    while (std::optional<MovieTag> tag = tags.Next()) {
        if (tag->code == EndTag || tag->code == ShowFrameTag)
            break;
        if (tag->code == SetBackgroundColorTag) {
            if (tag->body.size() < 3)
                break;
            return DWORD(tag->body[0]) << 16 | DWORD(tag->body[1]) << 8 | DWORD(tag->body[2]);
        }
    }
    return std::nullopt;
}
