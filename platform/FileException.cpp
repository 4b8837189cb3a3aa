#include "platform/FileException.h"

#include "platform/ErrorCodes.h"
#include "platform/FormatMessage.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace platform;

CFileException::CFileException(int cause, LONG osError, CString fileName)
    : m_cause(cause)
    , m_lOsError(osError)
    , m_strFileName(std::move(fileName))
{
}

int CFileException::OsErrorToException(LONG osError)
{
    switch (DWORD(osError)) {
    case ERROR_FILE_NOT_FOUND:
        return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_CANT_RESOLVE_FILENAME:
        return badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
        return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return accessDenied;
    case ERROR_INVALID_HANDLE:
        return invalidFile;
    case ERROR_DIR_NOT_EMPTY:
        return removeCurrentDir;
    case ERROR_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
        return diskFull;
    default:
        return genericException;
    }
}

void CFileException::ThrowOsError(LONG osError, const CString& fileName)
{
    throw CFileException(OsErrorToException(osError), osError, fileName);
}

BOOL CFileException::GetErrorMessage(char* buffer, UINT maxChars, UINT*) const
{
    if (!buffer || maxChars == 0)
        return FALSE;
    CString text = WithoutLineBreak(SystemMessageText(DWORD(m_lOsError)));
    if (text.empty())
        text = "A file error occurred.";
    if (!m_strFileName.empty())
        text = m_strFileName + ": " + text;
    size_t n = std::min<size_t>(text.size(), maxChars - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return TRUE;
}
