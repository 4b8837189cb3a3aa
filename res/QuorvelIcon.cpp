#include "res/QuorvelIcon.h"

#include <cmath>
#include <vector>
#include <zlib.h>

namespace {

constexpr int Size = 48;

struct Rgba {
    BYTE r, g, b, a;
};

// Coverage of a pixel by the icon's shapes, sampled 4 x 4 for soft edges.
Rgba Shade(int x, int y)
{
    const Rgba night { 0x14, 0x21, 0x3D, 0xFF };
    const Rgba orange { 0xFC, 0xA3, 0x11, 0xFF };
    int inside = 0, ring = 0;
    for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
            double px = x + (sx + 0.5) / 4.0, py = y + (sy + 0.5) / 4.0;
            // Rounded square background.
            double cx = std::fmax(std::fabs(px - 24) - 16, 0), cy = std::fmax(std::fabs(py - 24) - 16, 0);
            if (cx * cx + cy * cy <= 64)
                ++inside;
            // The ring of the Q and its tail.
            double d = std::hypot(px - 23, py - 22);
            bool tail = px > 26 && px < 38 && std::fabs((py - 26) - (px - 26)) < 2.6;
            if ((d >= 9.5 && d <= 14.5) || tail)
                ++ring;
        }
    }
    if (inside == 0)
        return { 0, 0, 0, 0 };
    auto mix = [&](BYTE a, BYTE b) { return BYTE((a * (16 - ring) + b * ring) / 16); };
    return { mix(night.r, orange.r), mix(night.g, orange.g), mix(night.b, orange.b),
        BYTE(inside * 255 / 16) };
}

void PutBig(std::vector<BYTE>& out, DWORD value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(BYTE(value >> shift));
}

void PutChunk(std::vector<BYTE>& out, const char* type, const std::vector<BYTE>& data)
{
    PutBig(out, DWORD(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBig(out, DWORD(crc32(0, out.data() + start, uInt(out.size() - start))));
}

std::vector<BYTE> Encode()
{
    std::vector<BYTE> raw;
    for (int y = 0; y < Size; ++y) {
        raw.push_back(0); // filter: none
        for (int x = 0; x < Size; ++x) {
            Rgba p = Shade(x, y);
            raw.insert(raw.end(), { p.r, p.g, p.b, p.a });
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<BYTE> packed(packedSize);
    compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), Z_BEST_COMPRESSION);
    packed.resize(packedSize);

    std::vector<BYTE> png = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    std::vector<BYTE> header;
    PutBig(header, Size);
    PutBig(header, Size);
    header.insert(header.end(), { 8, 6, 0, 0, 0 }); // 8-bit RGBA, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", {});
    return png;
}

} // namespace

std::span<const BYTE> QuorvelIconPng()
{
    static const std::vector<BYTE> s_png = Encode();
    return s_png;
}
