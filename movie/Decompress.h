#pragma once

#include "movie/MovieBody.h"

#include <cstdint>
#include <optional>
#include <span>

// Bounded decompression of a movie's body: neither decoder writes more than
// `limit` bytes, and neither reserves memory for bytes that cannot come.
// When decoding stops at the limit before the stream has said that it ends
// (for LZMA: before the decoder has read its end marker), the body holds
// the first `limit` bytes and is marked cut.

// One zlib stream. Nothing when the stream is damaged or ends early, when
// there is no input or no room (a limit of 0), or when memory runs out.
std::optional<CMovieBody> InflateZlib(std::span<const BYTE> stream, std::uint64_t limit);

// Raw LZMA1 data described by its 5 properties bytes (lc/lp/pb, then the
// dictionary size), up to its end-of-stream marker. Nothing when the
// properties are invalid, the data is damaged or runs out before the limit
// or the marker, or the limit is 0.
std::optional<CMovieBody> DecodeLzma(
    std::span<const BYTE, 5> properties, std::span<const BYTE> data, std::uint64_t limit);
