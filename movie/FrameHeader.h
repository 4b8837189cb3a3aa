#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <optional>
#include <span>

// The frame header that opens a movie's uncompressed body: the frame
// rectangle (a 5-bit field width n, then Xmin, Xmax, Ymin and Ymax as
// signed n-bit fields, in twips, padded to a whole byte), the frame rate
// (8.8 fixed point) and the frame count, both 16-bit little-endian. The
// first tag follows.
struct MovieFrameHeader {
    LONG xMin { 0 };
    LONG xMax { 0 };
    LONG yMin { 0 };
    LONG yMax { 0 };
    WORD frameRate { 0 };
    WORD frameCount { 0 };
    // The header's length in bytes, where the first tag starts.
    std::size_t size { 0 };
    // Whether the body holds all `size` bytes. Fields the body lacks read
    // as 0, bit by bit.
    bool complete { false };
};

// The frame header at the start of `body`; nothing for an empty body.
std::optional<MovieFrameHeader> ReadFrameHeader(std::span<const BYTE> body);
