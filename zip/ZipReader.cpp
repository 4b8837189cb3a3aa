// Opening, closing and the directory side of the archive object.

#include "zip/ZipReader.h"

#include "zip/ZipException.h"
#include "zip/ZipFileSystem.h"

#include <algorithm>
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

bool CZipReader::Open(CZipFileInterface& file, int mode)
{
    if (!IsClosed())
        return false;
    if (mode != zipOpen && mode != zipOpenReadOnly && mode != zipCreate)
        return false;

    source.Open(file, mode);
    password.Release();
    entryState = EntryClosed;
    directory.Reset();
    systemId = ZipFileSystem::CurrentSystemId();
    rootPath.clear();
    if (mode == zipCreate)
        return true;

    directory.ReadDirectory();
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
    if (entryState != EntryClosed)
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
    if (!directory.convertNamesOnLoad)
        CZipDirectory::ConvertNameFromArchive(out, directory.oemConversion);
    return true;
}

bool CZipReader::IsClosed(bool archiveOnly) const
{
    if (archiveOnly)
        return source.GetCurrentDisk() == -1;
    CZipFileInterface* file = source.GetFile();
    return !file || file->IsClosed();
}

void CZipReader::Close(int afterException, bool updateTimeStamp)
{
    if (IsClosed() && !(afterException != 0 && !IsClosed(false)))
        return;

    if (entryState == EntryReading)
        CloseEntry(nullptr, afterException != 0);
    // A read archive is never written back: nothing to do for step three.

    std::time_t latest = -1;
    if (updateTimeStamp) {
        for (int i = 0; i < directory.GetCount(); ++i)
            latest = std::max(latest, directory.GetHeader(i)->GetModificationTime());
    }
    directory.Clear(true);
    CString path = source.Close(afterException == 1);
    if (updateTimeStamp && !path.empty())
        ZipFileSystem::ApplyModTime(path.c_str(), latest);
}
