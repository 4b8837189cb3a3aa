#pragma once

#include "platform/Types.h"

#include <optional>
#include <span>
#include <vector>

enum class MovieCompression {
    Stored, // "FWS": the body follows the header as is
    Zlib, // "CWS": the body follows as one zlib stream
    // "ZWS": the compressed length (4 bytes), the 5 LZMA properties bytes,
    // then the body as raw LZMA1 data ending with the end-of-stream marker
    Lzma,
};

// How the 8-byte file header is written (for LZMA, the 17 bytes before the
// data). The defaults give a valid movie;
// tests change single bytes to see what readers make of them.
struct MovieFileLayout {
    MovieCompression compression { MovieCompression::Stored };
    // Replaces the first signature byte that the compression implies.
    std::optional<BYTE> signature1 {};
    BYTE signature2 { 'W' };
    BYTE signature3 { 'S' };
    BYTE version { 8 };
    // Replaces the file length, which is 8 + the body's length.
    std::optional<DWORD> declaredLength {};
};

// The complete file for `body` (frame header and tags).
std::vector<BYTE> AssembleMovieFile(std::span<const BYTE> body, const MovieFileLayout& layout = {});
