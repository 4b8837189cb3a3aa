#include "movie/FrameHeader.h"

#include "movie/BitReader.h"

#include <cstdint>

std::optional<MovieFrameHeader> ReadFrameHeader(std::span<const BYTE> body)
{
    if (body.empty())
        return std::nullopt;
    CBitReader reader(body.data(), std::int64_t(body.size()) * 8);
    int bits = int(reader.ReadBits(5));
    MovieFrameHeader header;
    header.xMin = ReadSignedBits(reader, bits);
    header.xMax = ReadSignedBits(reader, bits);
    header.yMin = ReadSignedBits(reader, bits);
    header.yMax = ReadSignedBits(reader, bits);
    std::size_t rate = (5 + 4 * std::size_t(bits) + 7) / 8;
    auto byteAt = [&](std::size_t at) { return at < body.size() ? WORD(body[at]) : WORD(0); };
    header.frameRate = WORD(byteAt(rate) | byteAt(rate + 1) << 8);
    header.frameCount = WORD(byteAt(rate + 2) | byteAt(rate + 3) << 8);
    header.size = rate + 4;
    header.complete = body.size() >= header.size;
    return header;
}
