#include "tools/swf/MovieFile.h"

#include "platform/LittleEndianWriter.h"

#include <iterator>
#include <lzma.h>
#include <memory>
#include <stdexcept>
#include <zlib.h>

namespace {

// Appends the compressed length, the properties and the raw LZMA1 data of
// `body`, compressed with liblzma's default preset.
void AppendLzma(std::vector<BYTE>& file, std::span<const BYTE> body)
{
    lzma_options_lzma options {};
    if (lzma_lzma_preset(&options, LZMA_PRESET_DEFAULT))
        throw std::runtime_error("liblzma has no default preset");
    lzma_filter filters[2] { { LZMA_FILTER_LZMA1, &options }, { LZMA_VLI_UNKNOWN, nullptr } };
    BYTE properties[5] {};
    if (lzma_properties_encode(&filters[0], properties) != LZMA_OK)
        throw std::runtime_error("liblzma could not encode the LZMA properties");

    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_encoder(&stream, filters) != LZMA_OK)
        throw std::runtime_error("liblzma could not start an LZMA encoder");
    std::unique_ptr<lzma_stream, decltype(&lzma_end)> guard(&stream, &lzma_end);
    std::vector<BYTE> packed(body.size() + body.size() / 2 + 4096);
    stream.next_in = body.data();
    stream.avail_in = body.size();
    stream.next_out = packed.data();
    stream.avail_out = packed.size();
    lzma_ret result = LZMA_OK;
    while (result == LZMA_OK) {
        if (stream.avail_out == 0) {
            std::size_t done = packed.size();
            packed.resize(done * 2);
            stream.next_out = packed.data() + done;
            stream.avail_out = packed.size() - done;
        }
        result = lzma_code(&stream, LZMA_FINISH);
    }
    if (result != LZMA_STREAM_END)
        throw std::runtime_error("liblzma could not compress the movie body");
    packed.resize(stream.total_out);

    LittleEndianWriter out(file);
    out.U32(DWORD(packed.size()));
    out.Bytes(properties);
    out.Bytes(packed);
}

} // namespace

std::vector<BYTE> AssembleMovieFile(std::span<const BYTE> body, const MovieFileLayout& layout)
{
    bool compressed = layout.compression == MovieCompression::Zlib;
    bool lzma = layout.compression == MovieCompression::Lzma;
    DWORD length = layout.declaredLength.value_or(DWORD(8 + body.size()));
    constexpr std::size_t HeaderSize = 8;
    std::vector<BYTE> file;
    LittleEndianWriter out(file);
    out.U8(layout.signature1.value_or(lzma ? BYTE('Z') : compressed ? BYTE('C') : BYTE('F')));
    out.U8(layout.signature2);
    out.U8(layout.signature3);
    out.U8(layout.version);
    out.U32(length);
    if (lzma) {
        AppendLzma(file, body);
        return file;
    }
    file.reserve(HeaderSize + (compressed ? compressBound(uLong(body.size())) : body.size()));
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
