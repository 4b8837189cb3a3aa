#include "control/FrameReports.h"

#include <cstring>
#include <string>
#include <zlib.h>

namespace {

// Tag codes of the movie format that matter here.
constexpr WORD TagEnd = 0;
constexpr WORD TagShowFrame = 1;
constexpr WORD TagDoAction = 12;
constexpr WORD TagFileAttributes = 69;
constexpr DWORD FileAttributeActionScript3 = 0x08;

constexpr BYTE ActionGetUrl = 0x83;
constexpr BYTE ActionEnd = 0x00;

DWORD ReadDword(const BYTE* p)
{
    return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24;
}

void PutWord(std::vector<BYTE>& out, DWORD value)
{
    out.push_back(BYTE(value));
    out.push_back(BYTE(value >> 8));
}

void PutDword(std::vector<BYTE>& out, DWORD value)
{
    PutWord(out, value & 0xFFFF);
    PutWord(out, value >> 16);
}

// The whole file with an uncompressed body, or nothing.
std::optional<std::vector<BYTE>> Inflate(std::span<const BYTE> movie)
{
    if (movie.size() < 8)
        return std::nullopt;
    DWORD length = ReadDword(movie.data() + 4);
    if (movie[0] == 'F')
        return std::vector<BYTE>(movie.begin(), movie.end());
    if (movie[0] != 'C' || length < 8 || length > (1u << 30))
        return std::nullopt;
    std::vector<BYTE> out(length);
    std::memcpy(out.data(), movie.data(), 8);
    uLongf bodyLength = length - 8;
    int result = uncompress(out.data() + 8, &bodyLength, movie.data() + 8, uLong(movie.size() - 8));
    if (result != Z_OK && result != Z_BUF_ERROR)
        return std::nullopt;
    out.resize(8 + bodyLength);
    return out;
}

// Bytes taken by the frame rectangle: 5 bits of field width, four fields.
size_t RectangleSize(BYTE first)
{
    size_t bits = 5 + 4 * size_t(first >> 3);
    return (bits + 7) / 8;
}

void PutFrameReport(std::vector<BYTE>& out, DWORD frame)
{
    std::string url = std::string("FSCommand:") + FrameReportCommand;
    std::string target = std::to_string(frame);
    DWORD actionLength = DWORD(url.size() + 1 + target.size() + 1);
    DWORD tagLength = 3 + actionLength + 1;
    PutWord(out, (TagDoAction << 6) | 0x3F); // long form: the length never needs care
    PutDword(out, tagLength);
    out.push_back(ActionGetUrl);
    PutWord(out, actionLength);
    out.insert(out.end(), url.begin(), url.end());
    out.push_back(0);
    out.insert(out.end(), target.begin(), target.end());
    out.push_back(0);
    out.push_back(ActionEnd);
}

} // namespace

std::optional<std::vector<BYTE>> AddFrameReports(std::span<const BYTE> movie)
{
    auto file = Inflate(movie);
    if (!file || file->size() < 9)
        return std::nullopt;
    const std::vector<BYTE>& in = *file;

    size_t position = 8 + RectangleSize(in[8]) + 4; // rectangle, frame rate, frame count
    if (position > in.size())
        return std::nullopt;

    std::vector<BYTE> out(in.begin(), in.begin() + std::ptrdiff_t(position));
    out[0] = 'F';
    DWORD frame = 0;
    bool frameStarted = false;
    while (position + 2 <= in.size()) {
        size_t tagStart = position;
        WORD header = WORD(in[position] | in[position + 1] << 8);
        WORD code = header >> 6;
        DWORD length = header & 0x3F;
        position += 2;
        if (length == 0x3F) {
            if (position + 4 > in.size())
                return std::nullopt;
            length = ReadDword(in.data() + position);
            position += 4;
        }
        if (length > in.size() - position)
            return std::nullopt;
        if (code == TagFileAttributes && length >= 1 && (in[position] & FileAttributeActionScript3))
            return std::nullopt;
        if (code == TagEnd) {
            out.insert(out.end(), in.begin() + std::ptrdiff_t(tagStart),
                in.begin() + std::ptrdiff_t(position + length));
            break;
        }
        // The report opens the frame: it runs before the frame's own actions.
        if (!frameStarted && code != TagFileAttributes) {
            PutFrameReport(out, frame);
            frameStarted = true;
        }
        out.insert(
            out.end(), in.begin() + std::ptrdiff_t(tagStart), in.begin() + std::ptrdiff_t(position + length));
        position += length;
        if (code == TagShowFrame) {
            ++frame;
            frameStarted = false;
        }
    }
    DWORD total = DWORD(out.size());
    std::memcpy(out.data() + 4, &total, 4); // little-endian host
    return out;
}
