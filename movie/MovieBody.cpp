#include "movie/MovieBody.h"

#include <utility>

CMovieBody::CMovieBody(std::vector<BYTE> bytes, bool cut)
    : m_owned(std::move(bytes))
    , m_bytes(m_owned)
    , m_bCut(cut)
{
}

CMovieBody::CMovieBody(std::span<const BYTE> stored)
    : m_bytes(stored)
{
}

CTagReader CMovieBody::Tags() const
{
    std::optional<MovieFrameHeader> header = FrameHeader();
    if (!header || !header->complete)
        return CTagReader({});
    return CTagReader(m_bytes, header->size);
}
