// Folders, file times and attributes, as the ZIP layer needs them.

#include "zip/ZipFileSystem.h"

#include "platform/FileSystem.h"
#include "platform/HostPath.h"
#include "platform/MbString.h"
#include "zip/ZipPath.h"

#include <sys/stat.h>

namespace ZipFileSystem {

PathType PathKind(const char* path)
{
    auto host = platform::ToHostPath(path);
    struct stat st { };
    if (!host || ::stat(host->c_str(), &st) != 0)
        return PathType::missing;
    return S_ISDIR(st.st_mode) ? PathType::folder : PathType::file;
}

bool FolderExists(const char* path)
{
    return PathKind(path) == PathType::folder;
}

bool MakeFolderPath(const char* path)
{
    CString folder = path ? path : "";
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    CString parent = CZipPath(folder).FolderPart();
    if (platform::_mbscmp(parent.c_str(), folder.c_str()) == 0)
        return true;
    if (FolderExists(folder.c_str()))
        return true;
    if (!MakeFolderPath(parent.c_str()))
        return false;
    return platform::CreateDirectory(folder.c_str(), nullptr);
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
