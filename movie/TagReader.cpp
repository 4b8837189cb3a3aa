#include "movie/TagReader.h"

#include <algorithm>

namespace {

constexpr DWORD LongFormLength = 0x3F;

} // namespace

CTagReader::CTagReader(std::span<const BYTE> bytes, std::size_t offset)
    : m_bytes(bytes)
    , m_nPosition(std::min(offset, bytes.size()))
{
}

std::optional<MovieTag> CTagReader::Next()
{
    std::size_t left = m_bytes.size() - m_nPosition;
    if (left < 2)
        return std::nullopt;
    const BYTE* p = m_bytes.data() + m_nPosition;
    WORD header = WORD(p[0] | p[1] << 8);
    MovieTag tag;
    tag.code = header >> 6;
    tag.length = header & LongFormLength;
    tag.headerOffset = m_nPosition;
    tag.bodyOffset = m_nPosition + 2;
    if (tag.length == LongFormLength) {
        if (left < 6) {
            m_bHeaderCut = true;
            m_nPosition = m_bytes.size();
            return std::nullopt;
        }
        tag.length = DWORD(p[2]) | DWORD(p[3]) << 8 | DWORD(p[4]) << 16 | DWORD(p[5]) << 24;
        tag.bodyOffset += 4;
    }
    std::size_t held = std::min<std::size_t>(tag.length, m_bytes.size() - tag.bodyOffset);
    tag.body = m_bytes.subspan(tag.bodyOffset, held);
    m_nPosition = tag.bodyOffset + held;
    return tag;
}
