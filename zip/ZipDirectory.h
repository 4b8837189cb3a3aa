#pragma once

#include "zip/ZipEntryHeader.h"

#include <memory>
#include <vector>

class CZipSource;

// The end-of-central-directory record and the headers of every entry, sorted
// by where their data lies in the archive.
class CZipDirectory {
public:
    static constexpr DWORD SearchBufferSize = 32768;

    explicit CZipDirectory(CZipSource& source);

    // Forgets the previous archive; called at the start of every open.
    void Reset();
    void ReadDirectory();
    // Ends the current entry; with `everything` also drops every header.
    void Clear(bool everything = true);

    bool IsValidIndex(int index) const { return index >= 0 && index < GetCount(); }
    int GetCount() const { return int(headers.size()); }
    CZipEntryHeader* GetHeader(int index) const { return headers[size_t(index)].get(); }

    // Makes entry `index` current and leaves the source at its data.
    void PositionAtEntry(WORD index);
    // Ends the current entry, checking its data descriptor unless after an
    // exception.
    void FinishEntry(bool afterException);
    CZipEntryHeader* GetCurrentEntry() const { return currentEntry; }

    // Turns a stored name into this host's form: "/" becomes "\\", and names
    // made on MS-DOS move from the OEM to the ANSI code page.
    static void ConvertNameFromArchive(CZipEntryHeader& header, bool oemConversion);

    DWORD GetBytesBeforeArchive() const { return bytesBeforeArchive; }
    DWORD GetEndRecordPosition() const { return endRecordPosition; }
    const CZipBytes& GetComment() const { return comment; }
    bool IsOnDisk() const { return onDisk; }

    bool convertNamesOnLoad { true };
    bool oemConversion { true };

private:
    DWORD LocateEndRecord();
    void SortHeaders();
    [[noreturn]] void ThrowError(int cause) const;

    DWORD endSignature { 0 };
    CZipBytes comment {};
    CZipBytes localExtra {};
    CZipEntryHeader* currentEntry { nullptr };
    CZipSource& source;
    std::vector<std::unique_ptr<CZipEntryHeader>> headers {};
    DWORD endRecordPosition { 0 };
    DWORD bytesBeforeArchive { 0 };
    WORD thisDisk { 0 };
    WORD centralDirectoryDisk { 0 };
    WORD entriesOnThisDisk { 0 };
    WORD totalEntries { 0 };
    DWORD centralDirectorySize { 0 };
    DWORD centralDirectoryOffset { 0 };
    bool onDisk { false };
};
