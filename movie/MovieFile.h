#pragma once

#include "movie/MovieBody.h"
#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// How a movie's body follows its header, as the first signature bytes say.
enum class MovieCoding {
    Stored, // 'F' ("FWS"): as it is
    Zlib, // 'C' ("CWS"), whatever follows: one zlib stream
    // "ZWS", all three bytes: the compressed length (4 bytes, not needed),
    // the 5 LZMA properties bytes, then raw LZMA1 data
    Lzma,
    Unknown, // anything else, or a file too short for its header
};

// A view of a movie file's bytes (or of as many of its first bytes as were
// read), which it does not own. The 8-byte header: three signature bytes,
// the version, and the declared length L of the whole file once
// decompressed, header included, 32-bit little-endian. The body follows.
class CMovieFile {
public:
    static constexpr std::size_t HeaderSize = 8;
    // Whole bodies declared longer than this are refused before anything is
    // allocated for them: no movie comes near it.
    static constexpr DWORD MaxWholeLength = 1u << 30;

    explicit CMovieFile(std::span<const BYTE> bytes);

    bool HasHeader() const { return m_bytes.size() >= HeaderSize; }
    // The three signature bytes; empty without a header.
    std::string_view Signature() const;
    MovieCoding Coding() const;
    BYTE Version() const { return HasHeader() ? m_bytes[3] : 0; }
    DWORD DeclaredLength() const;
    // The bytes after the header, as the file holds them.
    std::span<const BYTE> Data() const;

    // The body, decompressed into at most `limit` bytes. A stored body, and
    // one of unknown coding, is the data as it is, whatever the limit: a
    // view of the file's bytes, valid while they are.
    // Nothing without a header, or when decompression fails.
    std::optional<CMovieBody> Body(std::uint64_t limit) const;

    // The whole body: stored, the data as it is; compressed, decompressed
    // into the L - 8 bytes the header declares (a stream that goes on is
    // cut there). Nothing for an unknown coding, or for a compressed body
    // with L below 8 or above MaxWholeLength.
    std::optional<CMovieBody> WholeBody() const;

private:
    std::span<const BYTE> m_bytes {};
};
