#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// Appends fixed-size fields, least significant byte first, to a byte vector
// the caller owns: the form of every multi-byte field in ZIP records, movie
// tags and the resource table.
class LittleEndianWriter {
public:
    explicit LittleEndianWriter(std::vector<BYTE>& out)
        : m_out(out)
    {
    }

    void U8(std::uint8_t value) { m_out.push_back(value); }
    void U16(std::uint16_t value) { Put(value, 2); }
    void U32(std::uint32_t value) { Put(value, 4); }
    void U64(std::uint64_t value) { Put(value, 8); }
    void Bytes(std::span<const BYTE> bytes) { m_out.insert(m_out.end(), bytes.begin(), bytes.end()); }
    void Text(std::string_view text) { m_out.insert(m_out.end(), text.begin(), text.end()); }

    // Overwrites two bytes already written, from `offset` on.
    void PatchU16(std::size_t offset, std::uint16_t value)
    {
        m_out.at(offset + 1) = BYTE(value >> 8);
        m_out[offset] = BYTE(value);
    }

    // Overwrites four bytes already written, from `offset` on.
    void PatchU32(std::size_t offset, std::uint32_t value)
    {
        PatchU16(offset + 2, std::uint16_t(value >> 16));
        PatchU16(offset, std::uint16_t(value));
    }

    std::size_t Size() const { return m_out.size(); }

private:
    void Put(std::uint64_t value, int count)
    {
        for (int i = 0; i < count; ++i)
            m_out.push_back(BYTE(value >> (8 * i)));
    }

    std::vector<BYTE>& m_out;
};
