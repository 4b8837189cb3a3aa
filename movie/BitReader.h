#pragma once

#include "platform/Types.h"

#include <cstdint>

// Reads bit fields, most significant bit first, from a byte buffer that it
// does not own. The position never leaves the range 0 to the bit length;
// bits asked for beyond the end read as 0.
class CBitReader {
public:
    CBitReader(const BYTE* data, std::int64_t bitLength);
    virtual ~CBitReader() = default;

    // Back to bit 0 of the first byte.
    void Reset();

    // Moves by `bits` (either way). Returns the new bit position, or -1 with
    // the position unchanged when it would fall before the start or beyond
    // the end; the end itself is allowed.
    std::int64_t Skip(std::int64_t bits);

    // The next `count` bits (0 to 32), the first of them the most significant
    // bit of the result. Bits beyond the end count as 0 and the position stops
    // at the end. Any other count gives 0 and leaves the position alone.
    DWORD ReadBits(int count);

    std::int64_t GetBitPosition() const { return (m_pByte - m_pData) * 8 + m_nBitOffset; }
    std::int64_t GetBitLength() const { return m_nBitLength; }
    BYTE GetBitOffset() const { return m_nBitOffset; }

private:
    void MoveTo(std::int64_t position);

    const BYTE* m_pData { nullptr };
    std::int64_t m_nBitLength { 0 };
    const BYTE* m_pByte { nullptr };
    BYTE m_nBitOffset { 0 };
};

// The next `count` bits (0 to 32) as a two's-complement number.
LONG ReadSignedBits(CBitReader& reader, int count);
