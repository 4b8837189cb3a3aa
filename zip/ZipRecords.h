#pragma once

#include "platform/Types.h"

// The fixed parts of the ZIP records the reader understands. Every
// multi-byte field is little-endian.
namespace ZipRecords {

constexpr DWORD CentralHeaderSignature = 0x02014B50; // "PK\1\2"
constexpr DWORD LocalHeaderSignature = 0x04034B50; // "PK\3\4"
constexpr DWORD EndRecordSignature = 0x06054B50; // "PK\5\6"
constexpr DWORD DataDescriptorSignature = 0x08074B50; // "PK\7\8"

constexpr DWORD CentralHeaderSize = 46;
constexpr DWORD LocalHeaderSize = 30;
constexpr DWORD EndRecordSize = 22;
constexpr DWORD DataDescriptorSize = 12; // CRC-32, compressed size, uncompressed size

// The end record plus the longest comment it can carry.
constexpr DWORD EndRecordSearchLimit = EndRecordSize + 0xFFFF;

constexpr WORD FlagEncrypted = 0x0001;
constexpr WORD FlagDataDescriptor = 0x0008;

constexpr WORD MethodStored = 0;
constexpr WORD MethodDeflated = 8;

// The 12 bytes that open a traditionally encrypted entry's data.
constexpr DWORD EncryptionHeaderSize = 12;

inline WORD ReadWord(const BYTE* p)
{
    return WORD(p[0] | (p[1] << 8));
}
inline DWORD ReadDword(const BYTE* p)
{
    return DWORD(p[0]) | (DWORD(p[1]) << 8) | (DWORD(p[2]) << 16) | (DWORD(p[3]) << 24);
}

} // namespace ZipRecords
