#include "platform/HandleFile.h"

#include "platform/ErrorCodes.h"
#include "platform/HostPath.h"
#include "platform/LastError.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

HANDLE CreateFile(LPCSTR path, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE)
{
    auto host = ToHostPath(path);
    if (!host)
        return INVALID_HANDLE_VALUE;
    int flags = O_CLOEXEC;
    bool reading = access & GENERIC_READ, writing = access & GENERIC_WRITE;
    flags |= (reading && writing) ? O_RDWR : (writing ? O_WRONLY : O_RDONLY);
    if (writing)
        flags |= O_NOFOLLOW;
    switch (disposition) {
    case CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        break;
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    default:
        break;
    }
    int fd = ::open(host->c_str(), flags, 0666);
    if (fd < 0) {
        SetLastError(errno == ELOOP ? ERROR_ACCESS_DENIED : ErrorFromErrno(errno, host->c_str()));
        return INVALID_HANDLE_VALUE;
    }
    return fd;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written, void*)
{
    auto* in = static_cast<const char*>(buffer);
    DWORD done = 0;
    while (done < count) {
        ssize_t n = ::write(int(file), in + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SetLastErrorFromErrno(errno);
            if (written)
                *written = done;
            return FALSE;
        }
        done += DWORD(n);
    }
    if (written)
        *written = done;
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE file)
{
    if (file < 0 || ::fdatasync(int(file)) != 0) {
        SetLastErrorFromErrno(file < 0 ? EBADF : errno);
        return FALSE;
    }
    return TRUE;
}

BOOL CloseHandle(HANDLE handle)
{
    if (handle < 0 || ::close(int(handle)) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

} // namespace platform
