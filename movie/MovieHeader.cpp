#include "movie/MovieHeader.h"

#include "movie/BitReader.h"
#include "platform/File.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <lzma.h>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <vector>
#include <zlib.h>

namespace {

constexpr BYTE CompressedSignature = 0x43; // 'C'
// An LZMA body needs all three signature bytes: a first byte 'Z' alone has
// always meant a stored body.
constexpr BYTE LzmaSignature[3] = { 'Z', 'W', 'S' };
constexpr DWORD BackgroundColourTag = 0x4302; // SetBackgroundColor, short form, 3 bytes
// Deflate cannot expand one byte of its input to more than 1032 bytes of output.
constexpr std::uint64_t MaxInflateRatio = 1032;
// The most body bytes the frame header decoder can look at: the widest
// rectangle (5 + 4 x 31 bits, 17 bytes), frame rate and frame count, the
// first tag's header and three colour bytes.
constexpr std::size_t FrameHeaderMaxBytes = 17 + 4 + 2 + 3;
// An LZMA body starts after the compressed length (4 bytes) and the
// decoder's 5 properties bytes.
constexpr std::size_t LzmaPropertiesSize = 5;
// The decoder's dictionary never needs to hold more than the bytes it is
// asked for; a smaller one decodes those the same and keeps a declared
// dictionary of gigabytes from being allocated.
constexpr std::uint32_t LzmaDictionaryLimit = 64 * 1024;

// Reads until `count` bytes have arrived or the file ends; returns how many did.
std::size_t ReadFully(CFile& file, BYTE* buffer, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        UINT chunk = UINT(std::min<std::size_t>(count - done, 1u << 20));
        UINT got = file.Read(buffer + done, chunk);
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

// Up to `limit` bytes of the rest of the file, exactly as many as it holds.
// The buffer grows with what arrives, so a declared length far beyond the
// file's size costs nothing.
std::vector<BYTE> ReadBody(CFile& file, std::uint64_t limit)
{
    constexpr std::size_t Chunk = 64 * 1024;
    std::vector<BYTE> body;
    while (body.size() < limit) {
        std::size_t want = std::size_t(std::min<std::uint64_t>(Chunk, limit - body.size()));
        std::size_t used = body.size();
        body.resize(used + want);
        std::size_t got = ReadFully(file, body.data() + used, want);
        body.resize(used + got);
        if (got < want)
            break;
    }
    return body;
}

// Inflates one zlib stream into at most `capacity` bytes. Nothing when the
// stream is damaged, does not fit or memory runs out.
std::optional<std::vector<BYTE>> Inflate(const std::vector<BYTE>& input, std::uint64_t capacity)
{
    if (input.empty() || capacity == 0)
        return std::nullopt;
    // A body that fits `capacity` also fits this bound, so the result is the
    // same as with the full capacity, without reserving memory for bytes that
    // cannot come.
    capacity = std::min<std::uint64_t>(capacity, input.size() * MaxInflateRatio);
    std::unique_ptr<BYTE[]> output(new (std::nothrow) BYTE[capacity]);
    if (!output)
        return std::nullopt;
    uLongf length = uLongf(capacity);
    if (uncompress(output.get(), &length, input.data(), uLong(input.size())) != Z_OK || length > capacity)
        return std::nullopt;
    return std::vector<BYTE>(output.get(), output.get() + length);
}

// Decodes the first `capacity` bytes of the raw LZMA1 stream that follows in
// `file`, or fewer when the stream ends before. Nothing when the properties
// are invalid, the stream is damaged or cut short, or memory runs out.
std::optional<std::vector<BYTE>> DecodeLzmaBody(
    CFile& file, const BYTE (&properties)[LzmaPropertiesSize], std::size_t capacity)
{
    if (capacity == 0)
        return std::nullopt;
    lzma_filter filters[2] { { LZMA_FILTER_LZMA1, nullptr }, { LZMA_VLI_UNKNOWN, nullptr } };
    if (lzma_properties_decode(&filters[0], nullptr, properties, sizeof properties) != LZMA_OK)
        return std::nullopt;
    std::unique_ptr<lzma_options_lzma, decltype(&std::free)> options(
        static_cast<lzma_options_lzma*>(filters[0].options), &std::free);
    options->dict_size
        = std::clamp<std::uint32_t>(options->dict_size, LZMA_DICT_SIZE_MIN, LzmaDictionaryLimit);

    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&stream, filters) != LZMA_OK)
        return std::nullopt;
    std::unique_ptr<lzma_stream, decltype(&lzma_end)> guard(&stream, &lzma_end);

    std::vector<BYTE> body(capacity);
    stream.next_out = body.data();
    stream.avail_out = body.size();
    BYTE input[4096];
    while (stream.avail_out > 0) {
        if (stream.avail_in == 0) {
            stream.next_in = input;
            stream.avail_in = ReadFully(file, input, sizeof input);
        }
        // Without more input the stream is cut short: finishing then reports
        // the missing end as an error instead of waiting for bytes.
        lzma_ret result = lzma_code(&stream, stream.avail_in == 0 ? LZMA_FINISH : LZMA_RUN);
        if (result == LZMA_STREAM_END)
            break;
        if (result != LZMA_OK)
            return std::nullopt;
    }
    body.resize(body.size() - stream.avail_out);
    return body;
}

// The body of a "ZWS" movie as far as the frame header decoder can look,
// and never more than its L - 8 bytes. The compressed length is not needed:
// decoding stops once those bytes are out.
std::optional<std::vector<BYTE>> ReadLzmaBody(CFile& file, DWORD declaredLength)
{
    BYTE lengthAndProperties[4 + LzmaPropertiesSize] {};
    if (ReadFully(file, lengthAndProperties, sizeof lengthAndProperties) != sizeof lengthAndProperties)
        return std::nullopt;
    BYTE properties[LzmaPropertiesSize] {};
    std::copy_n(lengthAndProperties + 4, LzmaPropertiesSize, properties);
    std::uint64_t bodyLength = declaredLength >= 8 ? declaredLength - 8 : 0;
    return DecodeLzmaBody(
        file, properties, std::size_t(std::min<std::uint64_t>(bodyLength, FrameHeaderMaxBytes)));
}

MovieSize DecodeFrameHeader(const std::vector<BYTE>& body, DWORD& colour)
{
    CBitReader reader(body.data(), std::int64_t(body.size()) * 8);
    reader.Reset();
    if (reader.Skip(5) < 0) {
        AfxMessageBox("Failed to locate", MB_OK, 0);
        return {};
    }
    int rectBits = body[0] >> 3;
    std::int64_t xMin = ReadSignedBits(reader, rectBits);
    std::int64_t xMax = ReadSignedBits(reader, rectBits);
    std::int64_t yMin = ReadSignedBits(reader, rectBits);
    std::int64_t yMax = ReadSignedBits(reader, rectBits);

    if (reader.GetBitOffset() != 0)
        reader.Skip(8 - reader.GetBitOffset());
    reader.Skip(32); // frame rate and frame count
    // Only a colour whose bytes all lie in the body is reported.
    if (reader.GetBitLength() - reader.GetBitPosition() >= 16 + 24
        && reader.ReadBits(16) == BackgroundColourTag) {
        DWORD red = reader.ReadBits(8);
        DWORD green = reader.ReadBits(8);
        DWORD blue = reader.ReadBits(8);
        colour = (red << 16) | (green << 8) | blue;
    }
    return { LONG((xMax - xMin) / 20), LONG((yMax - yMin) / 20) };
}

} // namespace

MovieSize ReadMovieHeader(CString path, DWORD& colour)
{
    CFile file(path.c_str(), CFile::modeRead | CFile::shareCompat);

    BYTE header[8] {};
    std::vector<BYTE> body;
    if (ReadFully(file, header, sizeof header) == sizeof header) {
        DWORD declaredLength
            = DWORD(header[4]) | DWORD(header[5]) << 8 | DWORD(header[6]) << 16 | DWORD(header[7]) << 24;
        // The declared length counts the 8 header bytes; the body buffer is
        // sized L - 4 like the file always was. Below 4 there is no body.
        std::uint64_t capacity = declaredLength >= 4 ? declaredLength - 4 : 0;
        if (std::equal(std::begin(LzmaSignature), std::end(LzmaSignature), header)) {
            std::optional<std::vector<BYTE>> decoded = ReadLzmaBody(file, declaredLength);
            if (!decoded)
                return {};
            return DecodeFrameHeader(*decoded, colour);
        }
        body = ReadBody(file, capacity);
        if (header[0] == CompressedSignature) {
            std::optional<std::vector<BYTE>> inflated = Inflate(body, capacity);
            if (!inflated)
                return {};
            body = std::move(*inflated);
        }
    }
    // A file too short for its header has an empty body.
    return DecodeFrameHeader(body, colour);
}
