#include "zip/ZipSource.h"

#include "zip/ZipException.h"

void CZipSource::Open(CZipFileInterface& newFile)
{
    file = &newFile;
    file->SeekToBegin();
}

void CZipSource::RequireSingleVolume(WORD disk) const
{
    if (disk != 0)
        ThrowError(ZipErrorCause::Damaged);
}

void CZipSource::ReadBytes(void* buffer, DWORD count)
{
    if (count == 0)
        return;
    if (file->Read(buffer, count) != count)
        ThrowError(ZipErrorCause::Damaged);
}

void CZipSource::ThrowError(int cause) const
{
    CString path = GetFilePath();
    ThrowZipError(cause, path.c_str());
}
