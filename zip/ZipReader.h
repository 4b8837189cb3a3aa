#pragma once

#include "zip/ZipDecryptor.h"
#include "zip/ZipDirectory.h"
#include "zip/ZipInflater.h"
#include "zip/ZipSource.h"

#include <vector>

class CZipFileInterface;

// An archive opened for reading: its directory, and at most one entry being
// read at a time.
class CZipReader {
public:
    // How Close and CloseEntry end an entry that is being read: normally,
    // checking its CRC-32 and data descriptor (which may throw), or after an
    // exception, checking nothing and throwing nothing.
    enum CloseMode : int { closeNormally, closeAfterException };

    // What CloseEntry did.
    enum class EntryClose {
        closed,
        notOpen,
        // Closed before all of the entry's bytes were read; its CRC-32 is
        // not checked.
        endedEarly,
        // Closed, but the extracted file's time or attributes could not be
        // set.
        notStamped,
    };

    static constexpr unsigned DefaultBufferSize = 65536;

    CZipReader();
    ~CZipReader();
    CZipReader(const CZipReader&) = delete;
    CZipReader& operator=(const CZipReader&) = delete;

    // Opens the archive held by `file` (which must outlive the reader's use
    // of it). False when an archive is already open, or when the archive has
    // no entries or its first entry was made on a system we do not know. An
    // Open that throws leaves the reader closed.
    bool Open(CZipFileInterface& file);
    // Set after Open, which clears it. Refused while an entry is open.
    bool SetPassword(const char* password);

    int GetEntryCount() const { return directory.GetCount(); }
    CZipEntryHeader* GetEntryHeader(int index) const { return directory.GetHeader(index); }
    bool CopyEntryInfo(CZipEntryHeader& out, WORD index) const;

    bool IsClosed() const { return !source.IsOpen(); }
    void Close(CloseMode mode = closeNormally);

    // Reading one entry: OpenEntry, ReadEntry until it returns 0, CloseEntry.
    bool OpenEntry(WORD index);
    DWORD ReadEntry(void* buffer, DWORD size);
    EntryClose CloseEntry(CloseMode mode = closeNormally);
    bool IsEntryOpen() const { return entryOpen; }

    bool ExtractEntry(int index, const char* targetFolder, bool fullPath = false,
        const char* newName = nullptr, unsigned bufferSize = DefaultBufferSize);
    CString PredictTargetPath(const char* nameInArchive, const char* targetFolder, bool fullPath,
        const char* newName = nullptr) const;

    // The system that made the first entry.
    int GetSystemId() const { return systemId; }
    DWORD GetBytesBeforeArchive() const { return directory.GetBytesBeforeArchive(); }

private:
    // CloseEntry, stamping the file at `path` (when given) with the entry's
    // time and attributes.
    EntryClose FinishEntry(const char* path, CloseMode mode);
    [[noreturn]] void ThrowError(int code, bool isZlibCode = false) const;
    void CheckZlib(int result) const;
    void DecodeBuffer(DWORD count);
    bool CheckEncryptionHeader();
    void RefillInput();
    void FreeZlibAllocations();

    static voidpf TrackedAlloc(voidpf opaque, uInt items, uInt size);
    static void TrackedFree(voidpf opaque, voidpf block);

    CZipInflater inflater {};
    CZipSource source {};
    CZipDirectory directory { source };
    bool entryOpen { false };
    int systemId { 0 };
    std::vector<void*> zlibAllocations {};
    CZipBytes password {};
    CZipDecryptor decryptor {};
};
