#include "platform/File.h"

#include "platform/ErrorCodes.h"
#include "platform/HostPath.h"
#include "platform/LastError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

CFile::CFile(LPCSTR fileName, UINT openFlags)
{
    CFileException error;
    if (!Open(fileName, openFlags, &error))
        throw error;
}

CFile::~CFile()
{
    if (m_hFile != hFileNull)
        ::close(m_hFile);
}

BOOL CFile::Open(LPCSTR fileName, UINT openFlags, CFileException* error)
{
    m_strFileName = fileName ? fileName : "";
    auto fail = [&](DWORD code) {
        SetLastError(code);
        if (error)
            *error
                = CFileException(CFileException::OsErrorToException(LONG(code)), LONG(code), m_strFileName);
        return FALSE;
    };

    auto host = ToHostPath(fileName);
    if (!host)
        return fail(ERROR_PATH_NOT_FOUND);

    int flags = O_CLOEXEC;
    switch (openFlags & 3) {
    case modeWrite:
        flags |= O_WRONLY;
        break;
    case modeReadWrite:
        flags |= O_RDWR;
        break;
    default:
        flags |= O_RDONLY;
        break;
    }
    if (openFlags & (modeWrite | modeReadWrite))
        flags |= O_NOFOLLOW; // a planted link never redirects what we write
    if (openFlags & modeCreate) {
        flags |= O_CREAT;
        if (!(openFlags & modeNoTruncate))
            flags |= O_TRUNC;
    }

    int fd = ::open(host->c_str(), flags, 0666);
    if (fd < 0) {
        int saved = errno;
        if (saved == ELOOP)
            return fail(ERROR_ACCESS_DENIED);
        return fail(ErrorFromErrno(saved, host->c_str()));
    }
    struct stat st { };
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return fail(ERROR_ACCESS_DENIED);
    }
    m_hFile = fd;
    return TRUE;
}

void CFile::ThrowLastErrno() const
{
    DWORD code = SetLastErrorFromErrno(errno);
    CFileException::ThrowOsError(LONG(code), m_strFileName);
}

void CFile::Close()
{
    if (m_hFile == hFileNull)
        return;
    int fd = m_hFile;
    m_hFile = hFileNull;
    if (::close(fd) != 0 && errno != EINTR)
        ThrowLastErrno();
}

void CFile::Flush()
{
    if (m_hFile != hFileNull && ::fdatasync(m_hFile) != 0 && errno != EINVAL)
        ThrowLastErrno();
}

DWORD CFile::GetPosition() const
{
    off_t position = ::lseek(m_hFile, 0, SEEK_CUR);
    if (position < 0)
        ThrowLastErrno();
    return DWORD(position);
}

DWORD CFile::Seek(LONG offset, int from)
{
    int whence = from == current ? SEEK_CUR : (from == end ? SEEK_END : SEEK_SET);
    off_t position = ::lseek(m_hFile, offset, whence);
    if (position < 0) {
        DWORD code = SetLastErrorFromErrno(errno);
        throw CFileException(CFileException::badSeek, LONG(code), m_strFileName);
    }
    return DWORD(position);
}

DWORD CFile::GetLength() const
{
    struct stat st { };
    if (::fstat(m_hFile, &st) != 0)
        ThrowLastErrno();
    return DWORD(st.st_size);
}

void CFile::SetLength(DWORD length)
{
    if (::ftruncate(m_hFile, off_t(length)) != 0)
        ThrowLastErrno();
}

UINT CFile::Read(void* buffer, UINT count)
{
    auto* out = static_cast<char*>(buffer);
    UINT done = 0;
    while (done < count) {
        ssize_t n = ::read(m_hFile, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowLastErrno();
        }
        if (n == 0)
            break;
        done += UINT(n);
    }
    return done;
}

void CFile::Write(const void* buffer, UINT count)
{
    auto* in = static_cast<const char*>(buffer);
    UINT done = 0;
    while (done < count) {
        ssize_t n = ::write(m_hFile, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowLastErrno();
        }
        done += UINT(n);
    }
}

CString CFile::GetFilePath() const
{
    return m_strFileName;
}
