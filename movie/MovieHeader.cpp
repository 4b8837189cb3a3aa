#include "movie/MovieHeader.h"

#include "movie/MovieFile.h"
#include "platform/File.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

// SetBackgroundColor, short form: code 9, length 3.
constexpr WORD BackgroundColourTag = 9;
constexpr DWORD BackgroundColourLength = 3;
// The most body bytes the frame header decoder can look at: the widest
// rectangle (5 + 4 x 31 bits, 17 bytes), frame rate and frame count, the
// first tag's header and three colour bytes.
constexpr std::uint64_t FrameHeaderMaxBytes = 17 + 4 + 2 + 3;
// What is read of an LZMA file after its header: the compressed length,
// the properties and then far more data than the bytes above can take.
// No LZMA symbol takes more than a few dozen bytes of input and each gives
// at least one byte (but the end marker), so decoding stops long before the end of these.
constexpr std::uint64_t LzmaHeaderInput = 4 + 5 + 64 * 1024;

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

// Appends up to `limit` bytes of the rest of the file, exactly as many as
// it holds. The buffer grows with what arrives, so a declared length far
// beyond the file's size costs nothing.
void ReadMore(CFile& file, std::vector<BYTE>& bytes, std::uint64_t limit)
{
    constexpr std::size_t Chunk = 64 * 1024;
    for (std::uint64_t read = 0; read < limit;) {
        std::size_t want = std::size_t(std::min<std::uint64_t>(Chunk, limit - read));
        std::size_t used = bytes.size();
        bytes.resize(used + want);
        std::size_t got = ReadFully(file, bytes.data() + used, want);
        bytes.resize(used + got);
        read += got;
        if (got < want)
            break;
    }
}

// The body as far as the frame header decoder needs it. Nothing when it
// cannot be decompressed.
std::optional<CMovieBody> ReadBody(CFile& file)
{
    std::vector<BYTE> bytes;
    ReadMore(file, bytes, CMovieFile::HeaderSize);
    CMovieFile movie(bytes);
    if (!movie.HasHeader())
        return CMovieBody({}, false); // too short for its header: an empty body
    DWORD declared = movie.DeclaredLength();
    MovieCoding coding = movie.Coding();
    if (coding == MovieCoding::Lzma) {
        // Only the header's bytes are decoded, and never more than L - 8.
        ReadMore(file, bytes, LzmaHeaderInput);
        std::uint64_t length = declared >= 8 ? declared - 8 : 0;
        return CMovieFile(bytes).Body(std::min(length, FrameHeaderMaxBytes));
    }
    // The body has always been read into L - 4 bytes; below 4 there is none.
    std::uint64_t capacity = declared >= 4 ? declared - 4 : 0;
    ReadMore(file, bytes, capacity);
    if (coding != MovieCoding::Zlib) {
        // The data as it is: the body keeps these bytes, which end here.
        bytes.erase(bytes.begin(), bytes.begin() + std::ptrdiff_t(CMovieFile::HeaderSize));
        return CMovieBody(std::move(bytes), false);
    }
    std::optional<CMovieBody> body = CMovieFile(bytes).Body(capacity);
    // A zlib stream that does not fit in full is as damaged as any other.
    if (!body || body->IsCut())
        return std::nullopt;
    return body;
}

MovieSize DecodeFrameHeader(const CMovieBody& body, DWORD& colour)
{
    std::optional<MovieFrameHeader> frame = body.FrameHeader();
    if (!frame) {
        AfxMessageBox("Failed to locate", MB_OK, 0);
        return {};
    }
    // Only a colour whose bytes all lie in the body is reported.
    std::optional<MovieTag> first = body.Tags().Next();
    if (first && first->code == BackgroundColourTag && first->length == BackgroundColourLength
        && !first->IsLongForm() && first->IsComplete()) {
        colour = DWORD(first->body[0]) << 16 | DWORD(first->body[1]) << 8 | first->body[2];
    }
    return { LONG((std::int64_t(frame->xMax) - frame->xMin) / 20),
        LONG((std::int64_t(frame->yMax) - frame->yMin) / 20) };
}

} // namespace

MovieSize ReadMovieHeader(CString path, DWORD& colour)
{
    CFile file(path.c_str(), CFile::modeRead | CFile::shareCompat);
    std::optional<CMovieBody> body = ReadBody(file);
    if (!body)
        return {};
    return DecodeFrameHeader(*body, colour);
}
