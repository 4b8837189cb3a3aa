#pragma once

#include "zip/ZipFileInterface.h"

// The byte source of an open archive: one file read at absolute positions.
class CZipSource {
public:
    // Takes `file` (the caller's, which must outlive the source's use of it)
    // from its first byte.
    void Open(CZipFileInterface& file);
    // Forgets the file; the caller's object is never closed here.
    void Close() { file = nullptr; }
    bool IsOpen() const { return file != nullptr; }

    // Volume `disk` of the archive. Only a single volume, 0, is read: any
    // other number in a record means a volume set, taken as damaged.
    void RequireSingleVolume(WORD disk) const;

    // Reads exactly `count` bytes; anything less throws Damaged.
    void ReadBytes(void* buffer, DWORD count);

    DWORD Seek(LONG offset, int origin = CZipFileInterface::begin) { return file->Seek(offset, origin); }
    DWORD GetPosition() const { return file->GetPosition(); }
    DWORD GetLength() const { return file->GetLength(); }

    CString GetFilePath() const { return file ? file->GetFilePath() : CString(); }

    [[noreturn]] void ThrowError(int cause) const;

private:
    CZipFileInterface* file { nullptr };
};
