#include "movie/MovieFile.h"

#include "movie/Decompress.h"

#include <vector>

namespace {

// An LZMA body: the compressed length, the properties, then the data.
constexpr std::size_t LzmaLengthSize = 4;
constexpr std::size_t LzmaPropertiesSize = 5;

} // namespace

CMovieFile::CMovieFile(std::span<const BYTE> bytes)
    : m_bytes(bytes)
{
}

std::string_view CMovieFile::Signature() const
{
    if (!HasHeader())
        return {};
    return { reinterpret_cast<const char*>(m_bytes.data()), 3 };
}

MovieCoding CMovieFile::Coding() const
{
    std::string_view signature = Signature();
    if (signature.empty())
        return MovieCoding::Unknown;
    // An LZMA body needs all three signature bytes: a first byte 'Z' alone
    // says nothing.
    if (signature == "ZWS")
        return MovieCoding::Lzma;
    if (signature[0] == 'C')
        return MovieCoding::Zlib;
    if (signature[0] == 'F')
        return MovieCoding::Stored;
    return MovieCoding::Unknown;
}

DWORD CMovieFile::DeclaredLength() const
{
    if (!HasHeader())
        return 0;
    return DWORD(m_bytes[4]) | DWORD(m_bytes[5]) << 8 | DWORD(m_bytes[6]) << 16 | DWORD(m_bytes[7]) << 24;
}

std::span<const BYTE> CMovieFile::Data() const
{
    return HasHeader() ? m_bytes.subspan(HeaderSize) : std::span<const BYTE> {};
}

std::optional<CMovieBody> CMovieFile::Body(std::uint64_t limit) const
{
    if (!HasHeader())
        return std::nullopt;
    std::span<const BYTE> data = Data();
    switch (Coding()) {
    case MovieCoding::Zlib:
        return InflateZlib(data, limit);
    case MovieCoding::Lzma:
        if (data.size() < LzmaLengthSize + LzmaPropertiesSize)
            return std::nullopt;
        return DecodeLzma(data.subspan(LzmaLengthSize).first<LzmaPropertiesSize>(),
            data.subspan(LzmaLengthSize + LzmaPropertiesSize), limit);
    case MovieCoding::Stored:
    case MovieCoding::Unknown:
        break;
    }
    return CMovieBody(data);
}

std::optional<CMovieBody> CMovieFile::WholeBody() const
{
    switch (Coding()) {
    case MovieCoding::Unknown:
        return std::nullopt;
    case MovieCoding::Stored:
        return Body(0); // the limit bounds decompression only
    case MovieCoding::Zlib:
    case MovieCoding::Lzma:
        break;
    }
    DWORD length = DeclaredLength();
    if (length < HeaderSize || length > MaxWholeLength)
        return std::nullopt;
    return Body(length - HeaderSize);
}
