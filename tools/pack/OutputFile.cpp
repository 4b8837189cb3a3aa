#include "tools/pack/OutputFile.h"

#include "tools/pack/Result.h"

#include "platform/FileException.h"
#include "platform/LastError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

COutputFile::~COutputFile()
{
    Discard();
}

Result<void> COutputFile::Create(const std::string& path)
{
    Discard();
    finalPath = path;
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = folder + "." + base + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return Failure::Error(path + ": cannot create the output next to it: " + std::strerror(errno));
    tempPath = name.data();
    position = size = 0;
    return {};
}

void COutputFile::Commit(unsigned mode)
{
    if (fd < 0)
        ThrowErrno(EBADF);
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        ThrowErrno(errno);
    int closing = ::close(fd);
    fd = -1;
    if (closing != 0 || ::rename(tempPath.c_str(), finalPath.c_str()) != 0) {
        int error = errno;
        ::unlink(tempPath.c_str());
        tempPath.clear();
        ThrowErrno(error);
    }
    tempPath.clear();
}

void COutputFile::Discard()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    if (!tempPath.empty())
        ::unlink(tempPath.c_str());
    tempPath.clear();
}

DWORD COutputFile::Seek(LONG offset, int origin)
{
    std::int64_t base = origin == current ? std::int64_t(position) : (origin == end ? std::int64_t(size) : 0);
    std::int64_t target = base + offset;
    if (target < 0)
        ThrowErrno(EINVAL);
    if (::lseek(fd, off_t(target), SEEK_SET) < 0)
        ThrowErrno(errno);
    position = std::uint64_t(target);
    return DWORD(position);
}

UINT COutputFile::Read(void* buffer, UINT count)
{
    ssize_t n;
    do {
        n = ::read(fd, buffer, count);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        ThrowErrno(errno);
    position += std::uint64_t(n);
    return UINT(n);
}

void COutputFile::Write(const void* buffer, UINT count)
{
    const char* bytes = static_cast<const char*>(buffer);
    while (count > 0) {
        ssize_t n = ::write(fd, bytes, count);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno(errno);
        }
        bytes += n;
        count -= UINT(n);
        position += std::uint64_t(n);
    }
    size = std::max(size, position);
}

void COutputFile::ThrowErrno(int error) const
{
    DWORD code = platform::SetLastErrorFromErrno(error, finalPath.c_str());
    throw CFileException(CFileException::OsErrorToException(LONG(code)), LONG(code), finalPath);
}
