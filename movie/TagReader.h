#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <optional>
#include <span>

// One tag of a movie. Its header is a 16-bit little-endian word: the tag
// code in the upper 10 bits, the body's length in the lower 6. A length of
// 0x3F says the real length follows as a 32-bit little-endian word (the
// long form).
struct MovieTag {
    WORD code { 0 };
    // Offsets in the bytes walked: the tag's header, and its body.
    std::size_t headerOffset { 0 };
    std::size_t bodyOffset { 0 };
    // The length the header declares.
    DWORD length { 0 };
    // As much of the body as the bytes hold.
    std::span<const BYTE> body {};

    bool IsComplete() const { return body.size() == length; }
    bool IsLongForm() const { return bodyOffset - headerOffset == 6; }
};

// Walks the tags of a byte range it does not own, one header after the
// other. It never reads outside the range.
class CTagReader {
public:
    explicit CTagReader(std::span<const BYTE> bytes, std::size_t offset = 0);

    // The next tag. Nothing once fewer than 2 bytes remain, or when the
    // 4 bytes of a long-form length are not all there (HeaderCut() then
    // says so). A tag whose body runs past the end comes with the bytes
    // there are and is the last.
    std::optional<MovieTag> Next();

    // Whether the walk ended inside a long-form tag header.
    bool HeaderCut() const { return m_bHeaderCut; }

private:
    std::span<const BYTE> m_bytes {};
    std::size_t m_nPosition { 0 };
    bool m_bHeaderCut { false };
};
