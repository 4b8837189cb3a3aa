#pragma once

#include "tools/swf/BitWriter.h"

#include <cstdint>

// The small records that tags are made of. Coordinates are twips (1/20 pixel),
// y grows downwards.

struct SwfRect {
    std::int32_t xMin { 0 };
    std::int32_t xMax { 0 };
    std::int32_t yMin { 0 };
    std::int32_t yMax { 0 };

    static SwfRect FromPixels(int width, int height) { return { 0, width * 20, 0, height * 20 }; }
};

struct SwfRgb {
    BYTE red { 0 };
    BYTE green { 0 };
    BYTE blue { 0 };

    static constexpr SwfRgb FromHex(std::uint32_t rgb)
    {
        return { BYTE(rgb >> 16), BYTE(rgb >> 8), BYTE(rgb) };
    }
};

struct SwfRgba {
    BYTE red { 0 };
    BYTE green { 0 };
    BYTE blue { 0 };
    BYTE alpha { 255 };

    static constexpr SwfRgba FromHex(std::uint32_t rgb, BYTE alpha = 255)
    {
        return { BYTE(rgb >> 16), BYTE(rgb >> 8), BYTE(rgb), alpha };
    }
};

// x' = scaleX * x + rotateSkew1 * y + translateX, y' = rotateSkew0 * x + scaleY * y + translateY.
struct SwfMatrix {
    double scaleX { 1.0 };
    double scaleY { 1.0 };
    double rotateSkew0 { 0.0 };
    double rotateSkew1 { 0.0 };
    std::int32_t translateX { 0 };
    std::int32_t translateY { 0 };

    static SwfMatrix Translate(std::int32_t x, std::int32_t y);
    static SwfMatrix Scale(double sx, double sy, std::int32_t x = 0, std::int32_t y = 0);
    // Turns by `degrees` clockwise on screen, then moves to (x, y).
    static SwfMatrix Rotate(double degrees, std::int32_t x = 0, std::int32_t y = 0);
};

// A rectangle with fields as narrow as its values allow.
void WriteRect(CBitWriter& writer, const SwfRect& rect);
// A rectangle whose four fields are `bits` (0 to 31) wide whatever their
// values; values that do not fit lose their high bits.
void WriteRect(CBitWriter& writer, const SwfRect& rect, int bits);
void WriteMatrix(CBitWriter& writer, const SwfMatrix& matrix);
// A number in 16.16 fixed point, as matrices store scale and rotation.
std::int32_t ToFixed16(double value);
