#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <vector>

// Writes bit fields most significant bit first, the way the movie format packs
// rectangles, matrices and shape records.
class CBitWriter {
public:
    // The low `count` bits (0 to 32) of `value`.
    void WriteBits(std::uint32_t value, int count);
    // `value` as a two's-complement field of `count` bits.
    void WriteSignedBits(std::int32_t value, int count);
    // Pads with zero bits up to the next byte boundary.
    void Align();

    void WriteByte(BYTE value);
    void WriteU16(std::uint16_t value);
    void WriteU32(std::uint32_t value);
    void WriteBytes(const std::vector<BYTE>& bytes);

    // The bytes written so far, the last one padded with zero bits.
    const std::vector<BYTE>& Bytes() const { return m_bytes; }
    std::int64_t GetBitCount() const { return std::int64_t(m_bytes.size()) * 8 - (m_nFreeBits % 8); }

    // Bits that a signed field needs for `value`, at least 1.
    static int SignedBitsFor(std::int64_t value);
    // Bits that an unsigned field needs for `value`.
    static int UnsignedBitsFor(std::uint64_t value);

private:
    std::vector<BYTE> m_bytes {};
    int m_nFreeBits { 0 }; // unused low bits of the last byte
};
