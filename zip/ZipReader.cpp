// Opening, closing and the directory side of the archive object.

#include "zip/ZipReader.h"

#include "zip/ZipException.h"
#include "zip/ZipFileSystem.h"

#include <cstring>

CZipReader::CZipReader()
{
    inflater.stream.zalloc = TrackedAlloc;
    inflater.stream.zfree = TrackedFree;
}

CZipReader::~CZipReader()
{
    // Blocks an interrupted inflate left behind go with the reader; the
    // caller's file object is never touched.
    FreeZlibAllocations();
}

void CZipReader::ThrowError(int code, bool isZlibCode) const
{
    int cause = isZlibCode ? CauseFromZlib(code) : code;
    CString path = IsClosed() ? CString() : source.GetFilePath();
    ThrowZipError(cause, path.c_str());
}

void CZipReader::CheckZlib(int result) const
{
    if (result == Z_OK || result == Z_NEED_DICT)
        return;
    ThrowError(result, true);
}

bool CZipReader::Open(CZipFileInterface& file)
{
    if (!IsClosed())
        return false;

    source.Open(file);
    password.Release();
    entryOpen = false;
    systemId = ZipFileSystem::CurrentSystemId();
    try {
        directory.ReadDirectory();
    } catch (...) {
        directory.Clear();
        source.Close();
        throw;
    }
    if (directory.GetCount() == 0)
        return false;
    int system = directory.GetHeader(0)->MadeBySystem();
    if (!ZipFileSystem::IsKnownSystem(system))
        return false;
    systemId = system;
    return true;
}

bool CZipReader::SetPassword(const char* newPassword)
{
    if (entryOpen)
        return false;
    password.Release();
    if (newPassword) {
        DWORD length = DWORD(std::strlen(newPassword));
        password.Allocate(length);
        if (length)
            std::memcpy(password.data(), newPassword, length);
    }
    return true;
}

bool CZipReader::CopyEntryInfo(CZipEntryHeader& out, WORD index) const
{
    if (IsClosed() || !directory.IsValidIndex(index))
        return false;
    out = *directory.GetHeader(index);
    return true;
}

void CZipReader::Close(CloseMode mode)
{
    if (IsClosed())
        return;
    if (entryOpen)
        CloseEntry(mode);
    directory.Clear();
    source.Close();
}
