#pragma once

#include "zip/ZipBytes.h"

#include <ctime>

class CZipSource;

// One entry of the archive as its central directory file header describes it.
class CZipEntryHeader {
public:
    CZipEntryHeader() = default;
    CZipEntryHeader(const CZipEntryHeader&) = default;
    CZipEntryHeader& operator=(const CZipEntryHeader&) = default;
    virtual ~CZipEntryHeader() = default;

    // Reads the 46-byte central header at the source's position with its
    // name, extra field and comment. False when the signature is wrong.
    bool LoadCentralHeader(CZipSource& source);

    // Reads the 30-byte local header at the source's position and checks it
    // against this central header; on success skips the local name and hands
    // back the local extra field's length.
    bool CheckLocalHeader(CZipSource& source, WORD& localExtraLength);

    // Whether 12 bytes of CRC-32, compressed and uncompressed size match ours.
    bool MatchesSizesAndCrc(const BYTE* record) const;

    CString GetFileName() const;
    bool IsDirectory() const;
    DWORD GetSystemAttributes() const;
    std::time_t GetModificationTime() const;

    bool IsEncrypted() const;
    bool HasDataDescriptor() const;
    int MadeBySystem() const { return versionMadeBy >> 8; }

    DWORD signature { 0 };
    WORD versionMadeBy { 0 };
    WORD versionNeeded { 0 };
    WORD flags { 0 };
    WORD method { 8 };
    WORD modTime { 0 };
    WORD modDate { 0 };
    DWORD crc32 { 0 };
    DWORD compressedSize { 0 };
    DWORD uncompressedSize { 0 };
    WORD diskStart { 0 };
    WORD internalAttributes { 0 };
    DWORD externalAttributes { 0 };
    DWORD localHeaderOffset { 0 };
    CZipBytes extra {};
    CZipBytes name {};
    CZipBytes comment {};
};
