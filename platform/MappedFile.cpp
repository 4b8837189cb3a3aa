#include "platform/MappedFile.h"

#include "platform/ErrorCodes.h"
#include "platform/HostPath.h"
#include "platform/LastError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

CMappedFile::~CMappedFile()
{
    Close();
}

bool CMappedFile::Open(LPCSTR path)
{
    Close();
    auto host = ToHostPath(path);
    if (!host)
        return false;
    int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorFromErrno(errno, host->c_str());
        return false;
    }
    struct stat st { };
    if (::fstat(fd, &st) != 0) {
        SetLastErrorFromErrno(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) { // a folder or a device is no package
        SetLastError(ERROR_ACCESS_DENIED);
        ::close(fd);
        return false;
    }
    if (st.st_size > 0) {
        void* mapped = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped == MAP_FAILED) {
            SetLastErrorFromErrno(errno);
            ::close(fd);
            return false;
        }
        m_data = static_cast<const BYTE*>(mapped);
        m_size = size_t(st.st_size);
    }
    ::close(fd);
    return true;
}

void CMappedFile::Close()
{
    if (m_data)
        ::munmap(const_cast<BYTE*>(m_data), m_size);
    m_data = nullptr;
    m_size = 0;
}
