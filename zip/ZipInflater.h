#pragma once

#include "zip/ZipBytes.h"

#include <zlib.h>

// The reading state of the one open entry: the zlib stream, what is left on
// both sides, the running CRC-32 and the input buffer.
struct CZipInflater {
    static constexpr DWORD ReadBufferSize = 65536;

    z_stream stream {};
    DWORD uncompressedLeft { 0 };
    DWORD compressedLeft { 0 };
    DWORD runningCrc { 0 };
    CZipBytes readBuffer {};
    bool streamEnded { false };
    bool dummyByteGiven { false };
};
