#include "tools/swf/MovieFile.h"

#include <iterator>
#include <stdexcept>
#include <zlib.h>

std::vector<BYTE> AssembleMovieFile(std::span<const BYTE> body, const MovieFileLayout& layout)
{
    bool compressed = layout.compression == MovieCompression::Zlib;
    DWORD length = layout.declaredLength.value_or(DWORD(8 + body.size()));
    const BYTE header[8] {
        layout.signature1.value_or(compressed ? BYTE('C') : BYTE('F')),
        layout.signature2,
        layout.signature3,
        layout.version,
        BYTE(length),
        BYTE(length >> 8),
        BYTE(length >> 16),
        BYTE(length >> 24),
    };
    std::vector<BYTE> file(std::begin(header), std::end(header));
    file.reserve(sizeof header + (compressed ? compressBound(uLong(body.size())) : body.size()));
    if (!compressed) {
        file.insert(file.end(), body.begin(), body.end());
        return file;
    }
    uLongf packedLength = compressBound(uLong(body.size()));
    std::vector<BYTE> packed(packedLength);
    if (compress2(packed.data(), &packedLength, body.data(), uLong(body.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("zlib could not compress the movie body");
    file.insert(file.end(), packed.begin(), packed.begin() + std::ptrdiff_t(packedLength));
    return file;
}
