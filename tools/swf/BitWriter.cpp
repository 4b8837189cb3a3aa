#include "tools/swf/BitWriter.h"

#include "platform/LittleEndianWriter.h"

void CBitWriter::WriteBits(std::uint32_t value, int count)
{
    for (int bit = count - 1; bit >= 0; --bit) {
        if (m_nFreeBits == 0) {
            m_bytes.push_back(0);
            m_nFreeBits = 8;
        }
        --m_nFreeBits;
        if ((value >> bit) & 1)
            m_bytes.back() |= BYTE(1u << m_nFreeBits);
    }
}

void CBitWriter::WriteSignedBits(std::int32_t value, int count)
{
    WriteBits(std::uint32_t(value), count);
}

void CBitWriter::Align()
{
    m_nFreeBits = 0;
}

void CBitWriter::WriteByte(BYTE value)
{
    Align();
    m_bytes.push_back(value);
}

void CBitWriter::WriteU16(std::uint16_t value)
{
    Align();
    LittleEndianWriter(m_bytes).U16(value);
}

void CBitWriter::WriteU32(std::uint32_t value)
{
    Align();
    LittleEndianWriter(m_bytes).U32(value);
}

void CBitWriter::WriteBytes(const std::vector<BYTE>& bytes)
{
    Align();
    LittleEndianWriter(m_bytes).Bytes(bytes);
}

int CBitWriter::SignedBitsFor(std::int64_t value)
{
    int bits = 1;
    while (value < -(std::int64_t(1) << (bits - 1)) || value >= (std::int64_t(1) << (bits - 1)))
        ++bits;
    return bits;
}

int CBitWriter::UnsignedBitsFor(std::uint64_t value)
{
    int bits = 0;
    while (value >> bits)
        ++bits;
    return bits;
}
