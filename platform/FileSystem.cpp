#include "platform/FileSystem.h"

#include "platform/ErrorCodes.h"
#include "platform/HostPath.h"
#include "platform/LastError.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Runs `call` on the kernel form of `path`; a failure sets the last error
// from errno. A path with a drive fails with "path not found".
template<typename Call> BOOL WithHostPath(LPCSTR path, Call call)
{
    auto host = ToHostPath(path);
    if (!host)
        return FALSE;
    if (call(host->c_str()) != 0) {
        SetLastErrorFromErrno(errno, host->c_str());
        return FALSE;
    }
    return TRUE;
}

DWORD CopyOut(const std::string& text, DWORD size, LPSTR buffer)
{
    if (!buffer || size <= text.size())
        return DWORD(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return DWORD(text.size());
}

// A folder that only this user can reach: owned by us, not a link, and
// writable by nobody else.
bool IsPrivateFolder(const std::string& path)
{
    struct stat st { };
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 022) == 0;
}

std::string MakePrivateTempFolder()
{
    const char* tmpdir = std::getenv("TMPDIR");
    std::string base = (tmpdir && *tmpdir) ? tmpdir : "/tmp";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    std::string folder = base + "/quorvel-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    if (IsPrivateFolder(folder))
        return folder + "/";
    // Somebody else holds the usual name (or it is a link): take a fresh one,
    // and keep to it for the rest of the run.
    static std::string s_fresh;
    if (!s_fresh.empty() && s_fresh.starts_with(folder + "-") && IsPrivateFolder(s_fresh))
        return s_fresh + "/";
    std::string pattern = folder + "-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return {};
    s_fresh = pattern;
    return pattern + "/";
}

} // namespace

BOOL CreateDirectory(LPCSTR path, void*)
{
    return WithHostPath(path, [](const char* p) { return ::mkdir(p, 0777); });
}

BOOL RemoveDirectory(LPCSTR path)
{
    return WithHostPath(path, [](const char* p) { return ::rmdir(p); });
}

BOOL DeleteFile(LPCSTR path)
{
    return WithHostPath(path, [](const char* p) { return ::unlink(p); });
}

BOOL MoveFileEx(LPCSTR from, LPCSTR to, DWORD flags)
{
    auto source = ToHostPath(from);
    auto target = ToHostPath(to);
    if (!source || !target)
        return FALSE;
    unsigned int renameFlags = (flags & MOVEFILE_REPLACE_EXISTING) ? 0 : RENAME_NOREPLACE;
    if (::renameat2(AT_FDCWD, source->c_str(), AT_FDCWD, target->c_str(), renameFlags) != 0) {
        SetLastErrorFromErrno(errno, target->c_str());
        return FALSE;
    }
    return TRUE;
}

BOOL SetCurrentDirectory(LPCSTR path)
{
    return WithHostPath(path, [](const char* p) { return ::chdir(p); });
}

DWORD GetCurrentDirectory(DWORD size, LPSTR buffer)
{
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd) {
        SetLastErrorFromErrno(errno);
        return 0;
    }
    std::string text = cwd;
    std::free(cwd);
    return CopyOut(text, size, buffer);
}

DWORD GetTempPath(DWORD size, LPSTR buffer)
{
    std::string tempPath = MakePrivateTempFolder();
    if (tempPath.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    return CopyOut(tempPath, size, buffer);
}

BOOL SetFileAttributes(LPCSTR path, DWORD attributes)
{
    auto host = ToHostPath(path);
    if (!host)
        return FALSE;
    struct stat st { };
    if (::lstat(host->c_str(), &st) != 0) {
        SetLastErrorFromErrno(errno, host->c_str());
        return FALSE;
    }
    if (S_ISLNK(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    mode_t mode = st.st_mode & 0777;
    DWORD type = attributes >> 28;
    if (type == 8 || type == 4) {
        mode = (attributes >> 16) & 0777;
    } else if (attributes & FILE_ATTRIBUTE_READONLY) {
        mode &= ~mode_t(0222);
    } else {
        mode |= 0200;
    }
    if (S_ISDIR(st.st_mode))
        mode |= 0700;
    if (::fchmodat(AT_FDCWD, host->c_str(), mode, AT_SYMLINK_NOFOLLOW) != 0) {
        SetLastErrorFromErrno(errno, host->c_str());
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributes(LPCSTR path)
{
    auto host = ToHostPath(path);
    if (!host)
        return INVALID_FILE_ATTRIBUTES;
    struct stat st { };
    if (::lstat(host->c_str(), &st) != 0) {
        SetLastErrorFromErrno(errno, host->c_str());
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD result = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR))
        result |= FILE_ATTRIBUTE_READONLY;
    return result;
}

int _chdir(LPCSTR path)
{
    auto host = ToHostPath(path);
    if (!host) {
        errno = ENOENT;
        return -1;
    }
    return ::chdir(host->c_str());
}

int _access(LPCSTR path, int mode)
{
    auto host = ToHostPath(path);
    if (!host) {
        errno = ENOENT;
        return -1;
    }
    int how = F_OK;
    if (mode & 2)
        how |= W_OK;
    if (mode & 4)
        how |= R_OK;
    return ::access(host->c_str(), how);
}

int _utime(LPCSTR path, const _utimbuf* times)
{
    auto host = ToHostPath(path);
    if (!host) {
        errno = ENOENT;
        return -1;
    }
    struct timespec stamps[2] {};
    if (times) {
        stamps[0].tv_sec = times->actime;
        stamps[1].tv_sec = times->modtime;
    } else {
        stamps[0].tv_nsec = stamps[1].tv_nsec = UTIME_NOW;
    }
    // The time of a link is its own: never reach through it.
    return ::utimensat(AT_FDCWD, host->c_str(), stamps, AT_SYMLINK_NOFOLLOW);
}

} // namespace platform
