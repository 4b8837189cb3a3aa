#pragma once

#include "zip/ZipBytes.h"
#include "zip/ZipFileInterface.h"

// The byte source of an open archive: a single file read at absolute
// positions. Reading an archive split over several volumes is not supported.
class CZipSource {
public:
    enum SpanMode : int { NoSpan = 0, RemovableSpan = 1, NumberedSpan = 2, Undetermined = 3 };

    void Open(CZipFileInterface& file, int mode);

    // Closes the source; returns the file's path (empty for memory).
    CString Close(bool afterException);

    // Takes the end record's disk number. Anything but 0 names a volume set,
    // which this reader does not read: it fails as a damaged archive.
    void SetCurrentDisk(int disk);
    // Switches to volume `disk`; only the single volume 0 exists here.
    void ChangeDisk(int disk);
    int GetCurrentDisk() const { return currentDisk; }
    bool IsSingleFile() const { return spanMode == NoSpan; }

    // Reads exactly `count` bytes; anything less throws Damaged.
    DWORD ReadBytes(void* buffer, DWORD count, bool atOnce = true);

    DWORD Seek(LONG offset, int origin = CZipFileInterface::begin) { return file->Seek(offset, origin); }
    DWORD GetPosition() const { return file->GetPosition(); }
    DWORD GetLength() const { return file->GetLength(); }

    CZipFileInterface* GetFile() const { return file; }
    CString GetFilePath() const { return file ? file->GetFilePath() : CString(); }

    [[noreturn]] void ThrowError(int cause) const;

private:
    CZipFileInterface* file { nullptr };
    bool callerSuppliedFile { false };
    int spanMode { NoSpan };
    int currentDisk { -1 };
    CZipBytes writeBuffer {};
    DWORD bytesInWriteBuffer { 0 };
};
