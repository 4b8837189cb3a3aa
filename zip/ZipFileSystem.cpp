// Folders, file times and attributes, as the ZIP layer needs them.

#include "zip/ZipFileSystem.h"

#include "platform/FileSystem.h"
#include "platform/MbString.h"
#include "zip/ZipPath.h"

#include <vector>

namespace ZipFileSystem {

bool GetCurrentFolder(CString& folder)
{
    DWORD needed = platform::GetCurrentDirectory(0, nullptr);
    if (needed == 0)
        return false;
    std::vector<char> buffer(needed);
    DWORD length = platform::GetCurrentDirectory(needed, buffer.data());
    if (length == 0 || length >= needed)
        return false;
    folder.assign(buffer.data(), length);
    return true;
}

bool ChangeFolder(const char* path)
{
    return platform::_chdir(path) == 0;
}

bool FolderExists(const char* path)
{
    CString saved;
    if (!GetCurrentFolder(saved))
        return false;
    if (!ChangeFolder(path))
        return false;
    ChangeFolder(saved.c_str());
    return true;
}

int PathKind(const char* path)
{
    if (platform::_access(path, 0) != 0)
        return 0;
    return FolderExists(path) ? -1 : 1;
}

bool CreateFolder(const char* path)
{
    return platform::CreateDirectory(path, nullptr);
}

bool MakeFolderPath(const char* path)
{
    CString folder = path ? path : "";
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    CString parent = CZipPath(folder).FolderPart();
    if (platform::_mbscmp(parent.c_str(), folder.c_str()) == 0)
        return true;
    if (PathKind(folder.c_str()) == -1)
        return true;
    if (!MakeFolderPath(parent.c_str()))
        return false;
    return CreateFolder(folder.c_str());
}

bool ApplyAttributes(const char* path, DWORD attributes)
{
    return platform::SetFileAttributes(path, attributes);
}

bool ApplyModTime(const char* path, std::time_t time)
{
    platform::_utimbuf times {};
    times.actime = std::time(nullptr);
    times.modtime = time == std::time_t(-1) ? std::time(nullptr) : time;
    return platform::_utime(path, &times) == 0;
}

} // namespace ZipFileSystem
