#pragma once

#include "movie/FrameHeader.h"
#include "movie/TagReader.h"
#include "platform/Types.h"

#include <optional>
#include <span>
#include <vector>

// A movie's body as it is once decompressed: the frame header, then the
// root tags. It owns what a decoder made, and only views a stored body
// (the file's own bytes, which must outlive it): a stored movie is never
// copied to be read.
class CMovieBody {
public:
    // A decoded body, owned.
    CMovieBody(std::vector<BYTE> bytes, bool cut);
    // A stored body, viewed in place.
    explicit CMovieBody(std::span<const BYTE> stored);

    CMovieBody(CMovieBody&&) = default;
    CMovieBody& operator=(CMovieBody&&) = default;
    CMovieBody(const CMovieBody&) = delete;
    CMovieBody& operator=(const CMovieBody&) = delete;

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
    // A decoded body's bytes; empty for a stored one. Moving a vector keeps
    // its buffer, so m_bytes stays valid across moves.
    std::vector<BYTE> m_owned {};
    std::span<const BYTE> m_bytes {};
    bool m_bCut { false };
};
