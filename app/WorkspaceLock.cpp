#include "app/WorkspaceLock.h"

#include "platform/ErrorCodes.h"
#include "platform/HostPath.h"
#include "platform/LastError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

CWorkspaceLock::Outcome CWorkspaceLock::Acquire(const CString& path)
{
    Release();
    auto host = ToHostPath(path.c_str());
    if (!host)
        return Outcome::Failed;
    while (!host->empty() && host->size() > 1 && host->back() == '/')
        host->pop_back();
    // A few rounds at most: each one means another run removed the folder
    // just then.
    for (int attempt = 0; attempt < 8; ++attempt) {
        int fd = ::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT)
                return Outcome::Missing;
            if (errno == ENOTDIR || errno == ELOOP)
                return Outcome::NotAFolder;
            SetLastErrorFromErrno(errno, host->c_str());
            return Outcome::Failed;
        }
        struct stat opened { };
        if (::fstat(fd, &opened) != 0 || opened.st_uid != ::getuid()) {
            ::close(fd);
            return Outcome::NotAFolder;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                return Outcome::InUse;
            SetLastErrorFromErrno(error, host->c_str());
            return Outcome::Failed;
        }
        // The lock is on what was opened; the name must still lead there.
        struct stat named { };
        if (::lstat(host->c_str(), &named) == 0 && named.st_dev == opened.st_dev
            && named.st_ino == opened.st_ino) {
            m_fd = fd;
            return Outcome::Locked;
        }
        ::close(fd);
    }
    SetLastError(ERROR_ACCESS_DENIED);
    return Outcome::Failed;
}

void CWorkspaceLock::Release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
