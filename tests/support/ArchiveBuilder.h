#pragma once

// Builds ZIP archives in memory for tests: local headers, data, optional data
// descriptors, central headers and the end record, with hooks to get any of
// them wrong on purpose.

#include "platform/Types.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<unsigned char>;

Bytes ToBytes(const std::string& text);
// Raw deflate (no zlib header or trailer); `level` and `strategy` as zlib's.
Bytes Deflate(const Bytes& plain, int level = 6, int strategy = 0);
DWORD Crc32(const Bytes& data);
// Bytes that do not compress, the same for the same seed.
Bytes NoiseBytes(size_t count, unsigned seed = 1);

struct TestEntry {
    std::string name;
    Bytes plain {};
    WORD method { 0 };
    // Non-empty: traditional encryption under this password.
    std::string password {};
    // Sizes and CRC-32 follow the data (flag bit 3) instead of the local header.
    bool descriptor { false };
    bool descriptorSignature { true };
    WORD versionMadeBy { 0x0014 }; // MS-DOS, 2.0
    DWORD externalAttributes { 0x20 };
    WORD modTime { 0xB1B2 };
    WORD modDate { 0x3378 };
    Bytes localExtra {};

    // Deliberate faults and odd forms. Unset means "what a writer would put".
    std::optional<Bytes> payload {}; // the compressed bytes, used as they are
    std::optional<DWORD> crc {}; // in every record
    std::optional<DWORD> compressedSize {}; // in every record
    std::optional<DWORD> uncompressedSize {}; // in every record
    std::optional<WORD> localMethod {};
    std::optional<DWORD> localCrc {};
    std::optional<DWORD> centralOffset {}; // the central header's local-header offset
    std::optional<DWORD> descriptorCrc {};
    std::optional<BYTE> checkByte {}; // last byte of the encryption header
};

struct EndRecordFaults {
    std::optional<WORD> thisDisk {};
    std::optional<WORD> totalEntries {};
    std::optional<DWORD> size {};
    std::optional<DWORD> offset {};
};

struct TestArchive {
    std::vector<TestEntry> entries {};
    Bytes before {}; // data ahead of the archive
    std::string comment {};
    // Order of the central headers as indexes into `entries`; empty keeps data order.
    std::vector<size_t> centralOrder {};
    EndRecordFaults faults {};

    TestEntry& Add(std::string name, Bytes plain, WORD method = 0);
    Bytes Build() const;
    // Where each entry's local header starts, relative to the archive (after Build).
    mutable std::vector<DWORD> localOffsets {};
};

// A single stored entry.
Bytes SingleEntryArchive(const std::string& name, const Bytes& plain, WORD method = 0);

// Stored entries as a Unix archiver writes them: each pair is (name,
// content), a name ending in "/" a folder (mode 755, files 644), all dated
// 2 January 2020, 03:04:06. Names may repeat.
Bytes MakeZip(const std::vector<std::pair<std::string, std::string>>& entries);
