#include "movie/BitReader.h"

CBitReader::CBitReader(const BYTE* data, std::int64_t bitLength)
    : m_pData(data)
    , m_nBitLength(data && bitLength > 0 ? bitLength : 0)
    , m_pByte(data)
{
}

void CBitReader::Reset()
{
    MoveTo(0);
}

void CBitReader::MoveTo(std::int64_t position)
{
    m_pByte = m_pData + position / 8;
    m_nBitOffset = BYTE(position % 8);
}

std::int64_t CBitReader::Skip(std::int64_t bits)
{
    std::int64_t position = GetBitPosition();
    // Compared before adding so that no sum can overflow.
    if (bits < -position || bits > m_nBitLength - position)
        return -1;
    position += bits;
    MoveTo(position);
    return position;
}

DWORD CBitReader::ReadBits(int count)
{
    if (count < 0 || count > 32)
        return 0;
    std::int64_t position = GetBitPosition();
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) {
        std::int64_t bit = position + i;
        value <<= 1;
        if (bit < m_nBitLength)
            value |= (m_pData[bit / 8] >> (7 - bit % 8)) & 1;
    }
    MoveTo(position + count < m_nBitLength ? position + count : m_nBitLength);
    return DWORD(value);
}

LONG ReadSignedBits(CBitReader& reader, int count)
{
    std::int64_t value = reader.ReadBits(count);
    if (count >= 1 && count <= 32 && (value >> (count - 1)) & 1)
        value -= std::int64_t(1) << count;
    return LONG(value);
}
