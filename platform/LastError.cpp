#include "platform/LastError.h"

#include "platform/ErrorCodes.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>

namespace platform {

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;

// Whether the folder that would hold `path` exists: tells "file not found"
// from "path not found" for ENOENT.
bool ParentFolderExists(const char* path)
{
    std::string p = path;
    for (auto& c : p) {
        if (c == '\\')
            c = '/';
    }
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    auto slash = p.find_last_of('/');
    if (slash == std::string::npos)
        return true; // relative to the current folder, which exists
    std::string parent = slash == 0 ? "/" : p.substr(0, slash);
    struct stat st { };
    return ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

DWORD GetLastError()
{
    return t_lastError;
}

void SetLastError(DWORD code)
{
    t_lastError = code;
}

DWORD ErrorFromErrno(int error, const char* path)
{
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return (path && !ParentFolderExists(path)) ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EFBIG:
        return ERROR_FILE_TOO_LARGE;
    case ELOOP:
        return ERROR_CANT_RESOLVE_FILENAME;
    default:
        return ERROR_GEN_FAILURE;
    }
}

DWORD SetLastErrorFromErrno(int error, const char* path)
{
    DWORD code = ErrorFromErrno(error, path);
    SetLastError(code);
    return code;
}

} // namespace platform
