// Writing one entry of the archive to disk.

#include "zip/ZipReader.h"

#include "platform/FileSystem.h"
#include "zip/ZipFile.h"
#include "zip/ZipFileSystem.h"
#include "zip/ZipPath.h"

namespace {

void TrimTrailingSeparators(CString& text)
{
    size_t last = text.find_last_not_of("\\/");
    text.erase(last == CString::npos ? 0 : last + 1);
}

// A stored folder path with the parts that would climb ("..") or stand
// still (".", empty) taken out, so that a full path stays below its target.
CString WithoutClimbing(const CString& folders)
{
    CString result;
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find_first_of("\\/", start);
        if (end == CString::npos)
            end = folders.size();
        CString part = folders.substr(start, end - start);
        if (!part.empty() && part != "." && part != "..")
            result += (result.empty() ? "" : "\\") + part;
        start = end + 1;
    }
    return result;
}

} // namespace

CString CZipReader::PredictTargetPath(
    const char* nameInArchive, const char* targetFolder, bool fullPath, const char* newName) const
{
    CString folder = targetFolder ? targetFolder : "";
    CString name = newName ? newName : (nameInArchive ? nameInArchive : "");
    if (name.empty())
        return folder;
    if (!folder.empty()) {
        TrimTrailingSeparators(folder);
        folder += '\\';
    }
    TrimTrailingSeparators(name);
    CZipPath path(name);
    if (fullPath) {
        path.directory = WithoutClimbing(path.directory);
        folder += path.WithoutDrive();
    } else {
        folder += path.NamePart();
    }
    return folder;
}

bool CZipReader::ExtractEntry(
    int index, const char* targetFolder, bool fullPath, const char* newName, unsigned bufferSize)
{
    // A zero-sized transfer would never end; it is refused whatever the target.
    if (bufferSize == 0)
        return false;
    if (index < 0 || index > 0xFFFF)
        return false;

    CZipEntryHeader header;
    CopyEntryInfo(header, WORD(index));
    CString target = PredictTargetPath(header.GetFileName().c_str(), targetFolder, fullPath, newName);

    if (header.IsDirectory()) {
        // A folder named "." or ".." (or nothing) once its stored folders are
        // dropped is the target folder or the one above it: neither is this
        // entry's to create or to change the permissions of.
        CString own = PredictTargetPath(header.GetFileName().c_str(), nullptr, fullPath, newName);
        CString last = own.substr(own.find_last_of("\\/") + 1);
        if (last.empty() || last == "." || last == "..")
            return true;
        ZipFileSystem::MakeFolderPath(target.c_str());
        ZipFileSystem::ApplyAttributes(target.c_str(), header.GetSystemAttributes());
        return true;
    }

    if (!OpenEntry(WORD(index)))
        return false;
    ZipFileSystem::MakeFolderPath(CZipPath(target).FolderPart().c_str());

    CZipFile file(target.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite);
    // From here on the file holds this entry's bytes: if the entry turns out
    // damaged, no file with a partial or unverified content is left behind.
    try {
        CZipBytes buffer;
        buffer.Allocate(bufferSize);
        DWORD count;
        do {
            count = ReadEntry(buffer.data(), bufferSize);
            if (count > 0)
                file.Write(buffer.data(), count);
        } while (count == bufferSize);
        CString path = file.GetFilePath();
        file.Close();
        return FinishEntry(path.c_str(), closeNormally) == EntryClose::closed;
    } catch (...) {
        try {
            file.Close();
        } catch (...) {
        }
        platform::DeleteFile(target.c_str());
        throw;
    }
}
