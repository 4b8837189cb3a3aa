#include "movie/Decompress.h"

#include <algorithm>
#include <cstdlib>
#include <lzma.h>
#include <memory>
#include <new>
#include <vector>
#include <zlib.h>

namespace {

// Deflate cannot expand one byte of its input to more than 1032 bytes of output.
constexpr std::uint64_t MaxInflateRatio = 1032;
// The LZMA output grows by this much at a time: a declared length far
// beyond what the data holds costs nothing.
constexpr std::size_t LzmaOutputChunk = 64 * 1024;
// The decoder's dictionary never needs to hold more than the bytes it is
// asked for; a smaller one decodes those the same and keeps a declared
// dictionary of gigabytes from being allocated. It is never cut below this.
constexpr std::uint64_t LzmaDictionaryFloor = 64 * 1024;

} // namespace

std::optional<CMovieBody> InflateZlib(std::span<const BYTE> stream, std::uint64_t limit)
{
    if (stream.empty() || limit == 0)
        return std::nullopt;
    // A body that fits `limit` also fits this bound, so the result is the
    // same as with the full limit, without reserving memory for bytes that
    // cannot come.
    std::uint64_t capacity = std::min<std::uint64_t>(limit, stream.size() * MaxInflateRatio);
    std::vector<BYTE> body;
    try {
        body.resize(std::size_t(capacity));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    uLongf length = uLongf(capacity);
    int result = uncompress(body.data(), &length, stream.data(), uLong(stream.size()));
    // Z_BUF_ERROR: the output is full and the stream goes on.
    if ((result != Z_OK && result != Z_BUF_ERROR) || length > capacity)
        return std::nullopt;
    body.resize(length);
    return CMovieBody(std::move(body), result == Z_BUF_ERROR);
}

std::optional<CMovieBody> DecodeLzma(
    std::span<const BYTE, 5> properties, std::span<const BYTE> data, std::uint64_t limit)
{
    if (limit == 0)
        return std::nullopt;
    lzma_filter filters[2] { { LZMA_FILTER_LZMA1, nullptr }, { LZMA_VLI_UNKNOWN, nullptr } };
    if (lzma_properties_decode(&filters[0], nullptr, properties.data(), properties.size()) != LZMA_OK)
        return std::nullopt;
    std::unique_ptr<lzma_options_lzma, decltype(&std::free)> options(
        static_cast<lzma_options_lzma*>(filters[0].options), &std::free);
    std::uint64_t dictionaryLimit = std::clamp<std::uint64_t>(limit, LzmaDictionaryFloor, UINT32_MAX);
    options->dict_size
        = std::clamp<std::uint32_t>(options->dict_size, LZMA_DICT_SIZE_MIN, std::uint32_t(dictionaryLimit));

    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&stream, filters) != LZMA_OK)
        return std::nullopt;
    std::unique_ptr<lzma_stream, decltype(&lzma_end)> guard(&stream, &lzma_end);

    stream.next_in = data.data();
    stream.avail_in = data.size();
    std::vector<BYTE> body;
    bool ended = false;
    for (;;) {
        if (stream.avail_out == 0) {
            if (body.size() == limit)
                break;
            std::size_t used = body.size();
            try {
                body.resize(used + std::size_t(std::min<std::uint64_t>(LzmaOutputChunk, limit - used)));
            } catch (const std::bad_alloc&) {
                return std::nullopt;
            }
            stream.next_out = body.data() + used;
            stream.avail_out = body.size() - used;
        }
        // Without more input the data is cut short: finishing then reports
        // the missing end as an error instead of waiting for bytes.
        lzma_ret result = lzma_code(&stream, stream.avail_in == 0 ? LZMA_FINISH : LZMA_RUN);
        if (result == LZMA_STREAM_END) {
            ended = true;
            break;
        }
        if (result != LZMA_OK)
            return std::nullopt;
    }
    body.resize(body.size() - stream.avail_out);
    return CMovieBody(std::move(body), !ended);
}
