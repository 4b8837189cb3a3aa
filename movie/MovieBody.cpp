#include "movie/MovieBody.h"

#include <utility>

CMovieBody::CMovieBody(std::vector<BYTE> bytes, bool cut)
    : m_bytes(std::move(bytes))
    , m_bCut(cut)
{
}

CTagReader CMovieBody::Tags() const
{
    std::optional<MovieFrameHeader> header = FrameHeader();
    if (!header || !header->complete)
        return CTagReader({});
    return CTagReader(m_bytes, header->size);
}
