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
    enum OpenMode : int { zipOpen = 0, zipOpenReadOnly = 1, zipCreate = 2 };
    enum EntryState : BYTE { EntryClosed = 0, EntryWriting = 1, EntryReading = 0xFF };

    static constexpr unsigned DefaultBufferSize = 65536;

    CZipReader();
    ~CZipReader();
    CZipReader(const CZipReader&) = delete;
    CZipReader& operator=(const CZipReader&) = delete;

    // Opens the archive held by `file` (which must outlive the reader's use
    // of it). False when an archive is already open, for an unknown mode, or
    // when the first entry was made on a system we do not know.
    bool Open(CZipFileInterface& file, int mode = zipOpen);
    // Set after Open, which clears it. Refused while an entry is open.
    bool SetPassword(const char* password);

    int GetEntryCount() const { return directory.GetCount(); }
    CZipEntryHeader* GetEntryHeader(int index) const { return directory.GetHeader(index); }
    bool CopyEntryInfo(CZipEntryHeader& out, WORD index) const;

    bool IsClosed(bool archiveOnly = true) const;
    void Close(int afterException = 0, bool updateTimeStamp = false);

    // Reading one entry: OpenEntry, ReadEntry until it returns 0, CloseEntry.
    bool OpenEntry(WORD index);
    DWORD ReadEntry(void* buffer, DWORD size);
    // 1 closed (and the file at `path` stamped), 0 nothing open, -1 closed
    // before the end, -2 the file's time or attributes could not be set.
    int CloseEntry(const char* path = nullptr, bool afterException = false);
    int CloseEntryWithFile(CZipFileInterface& file);

    bool ExtractEntry(int index, const char* targetFolder, bool fullPath = false,
        const char* newName = nullptr, unsigned bufferSize = DefaultBufferSize);
    CString PredictTargetPath(const char* nameInArchive, const char* targetFolder, bool fullPath,
        const char* newName = nullptr) const;

    int GetSystemId() const { return systemId; }
    BYTE GetEntryState() const { return entryState; }
    DWORD GetBytesBeforeArchive() const { return directory.GetBytesBeforeArchive(); }

    bool dropDriveOnFullPath { true };
    bool skipCrcCheck { false };
    bool trackZlibAllocations { true };

private:
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
    BYTE entryState { EntryClosed };
    CString rootPath {};
    int systemId { 0 };
    std::vector<void*> zlibAllocations {};
    CZipBytes password {};
    CZipDecryptor decryptor {};
};
