#include "zip/ZipSource.h"

#include "zip/ZipException.h"

namespace {
constexpr DWORD WriteBufferSize = 65536;
}

void CZipSource::Open(CZipFileInterface& newFile, int mode)
{
    writeBuffer.Allocate(WriteBufferSize);
    bytesInWriteBuffer = 0;
    file = &newFile;
    callerSuppliedFile = true;
    if (mode == 2) {
        currentDisk = 0;
        spanMode = NoSpan;
        file->SetLength(0);
    } else {
        file->SeekToBegin();
        spanMode = Undetermined;
    }
}

CString CZipSource::Close(bool)
{
    // A read archive never has bytes waiting in the write buffer, and the
    // file object always belongs to the caller here: nothing to flush.
    CString path = GetFilePath();
    writeBuffer.Release();
    bytesInWriteBuffer = 0;
    currentDisk = -1;
    spanMode = NoSpan;
    file = nullptr;
    callerSuppliedFile = false;
    return path;
}

void CZipSource::SetCurrentDisk(int disk)
{
    currentDisk = disk;
    if (disk == 0) {
        spanMode = NoSpan;
        return;
    }
    // The end record says this is one volume of a set; we read single files only.
    ThrowError(ZipErrorCause::Damaged);
}

void CZipSource::ChangeDisk(int disk)
{
    if (disk == currentDisk)
        return;
    ThrowError(ZipErrorCause::Damaged);
}

DWORD CZipSource::ReadBytes(void* buffer, DWORD count, bool)
{
    if (count == 0)
        return 0;
    DWORD read = file->Read(buffer, count);
    if (read != count)
        ThrowError(ZipErrorCause::Damaged);
    return read;
}

void CZipSource::ThrowError(int cause) const
{
    CString path = GetFilePath();
    ThrowZipError(cause, path.c_str());
}
