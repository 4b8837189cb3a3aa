#include "movie/MovieHeader.h"

#include "movie/BitReader.h"
#include "platform/File.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <vector>
#include <zlib.h>

namespace {

constexpr BYTE CompressedSignature = 0x43; // 'C'
constexpr DWORD BackgroundColourTag = 0x4302; // SetBackgroundColor, short form, 3 bytes
// Deflate cannot expand one byte of its input to more than 1032 bytes of output.
constexpr std::uint64_t MaxInflateRatio = 1032;

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
