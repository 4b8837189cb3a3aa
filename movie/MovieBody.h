#pragma once

#include "movie/FrameHeader.h"
#include "movie/TagReader.h"
#include "platform/Types.h"

#include <optional>
#include <span>
#include <vector>

// A movie's body as it is once decompressed: the frame header, then the
// root tags.
class CMovieBody {
public:
    CMovieBody(std::vector<BYTE> bytes, bool cut);

    std::span<const BYTE> Bytes() const { return m_bytes; }

    // Whether decompression stopped at its limit before the stream ended
    // (movie/Decompress.h).
    bool IsCut() const { return m_bCut; }

    // The frame header; nothing for an empty body.
    std::optional<MovieFrameHeader> FrameHeader() const { return ReadFrameHeader(m_bytes); }

    // The root tags, from the first one after the frame header; none when
    // the body ends before the frame header does.
    CTagReader Tags() const;

private:
    std::vector<BYTE> m_bytes {};
    bool m_bCut { false };
};
