#include "tools/swf/Records.h"

#include <algorithm>
#include <cmath>
#include <numbers>

SwfMatrix SwfMatrix::Translate(std::int32_t x, std::int32_t y)
{
    SwfMatrix matrix;
    matrix.translateX = x;
    matrix.translateY = y;
    return matrix;
}

SwfMatrix SwfMatrix::Scale(double sx, double sy, std::int32_t x, std::int32_t y)
{
    SwfMatrix matrix = Translate(x, y);
    matrix.scaleX = sx;
    matrix.scaleY = sy;
    return matrix;
}

SwfMatrix SwfMatrix::Rotate(double degrees, std::int32_t x, std::int32_t y)
{
    double radians = degrees * std::numbers::pi / 180.0;
    SwfMatrix matrix = Translate(x, y);
    matrix.scaleX = std::cos(radians);
    matrix.scaleY = std::cos(radians);
    matrix.rotateSkew0 = std::sin(radians);
    matrix.rotateSkew1 = -std::sin(radians);
    return matrix;
}

std::int32_t ToFixed16(double value)
{
    return std::int32_t(std::lround(value * 65536.0));
}

void WriteRect(CBitWriter& writer, const SwfRect& rect)
{
    int bits = std::max({ CBitWriter::SignedBitsFor(rect.xMin), CBitWriter::SignedBitsFor(rect.xMax),
        CBitWriter::SignedBitsFor(rect.yMin), CBitWriter::SignedBitsFor(rect.yMax) });
    WriteRect(writer, rect, bits);
}

void WriteRect(CBitWriter& writer, const SwfRect& rect, int bits)
{
    writer.Align();
    writer.WriteBits(std::uint32_t(bits), 5);
    for (std::int32_t value : { rect.xMin, rect.xMax, rect.yMin, rect.yMax })
        writer.WriteSignedBits(value, bits);
    writer.Align();
}

namespace {

// Two fields of the same width, as wide as the wider value needs.
void WritePair(CBitWriter& writer, int widthBits, std::int32_t a, std::int32_t b)
{
    int bits = std::max(CBitWriter::SignedBitsFor(a), CBitWriter::SignedBitsFor(b));
    writer.WriteBits(std::uint32_t(bits), widthBits);
    writer.WriteSignedBits(a, bits);
    writer.WriteSignedBits(b, bits);
}

} // namespace

void WriteMatrix(CBitWriter& writer, const SwfMatrix& matrix)
{
    writer.Align();
    std::int32_t scaleX = ToFixed16(matrix.scaleX);
    std::int32_t scaleY = ToFixed16(matrix.scaleY);
    bool hasScale = scaleX != 0x10000 || scaleY != 0x10000;
    writer.WriteBits(hasScale, 1);
    if (hasScale)
        WritePair(writer, 5, scaleX, scaleY);

    std::int32_t rotate0 = ToFixed16(matrix.rotateSkew0);
    std::int32_t rotate1 = ToFixed16(matrix.rotateSkew1);
    bool hasRotate = rotate0 != 0 || rotate1 != 0;
    writer.WriteBits(hasRotate, 1);
    if (hasRotate)
        WritePair(writer, 5, rotate0, rotate1);

    if (matrix.translateX == 0 && matrix.translateY == 0)
        writer.WriteBits(0, 5);
    else
        WritePair(writer, 5, matrix.translateX, matrix.translateY);
    writer.Align();
}
