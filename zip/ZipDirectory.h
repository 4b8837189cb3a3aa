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

    // Forgets the previous archive, then reads the end record and every
    // central header of the source's.
    void ReadDirectory();
    // Drops every header and the current entry.
    void Clear();

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
    static void ConvertNameFromArchive(CZipEntryHeader& header);

    DWORD GetBytesBeforeArchive() const { return bytesBeforeArchive; }

private:
    DWORD LocateEndRecord();
    void SortHeaders();
    [[noreturn]] void ThrowError(int cause) const;

    CZipSource& source;
    std::vector<std::unique_ptr<CZipEntryHeader>> headers {};
    CZipEntryHeader* currentEntry { nullptr };
    DWORD bytesBeforeArchive { 0 };
};
