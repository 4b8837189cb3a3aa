#pragma once

#include "platform/Exception.h"

// A failed file operation: the cause in the framework's terms, the system
// error code behind it and the file concerned.
class CFileException : public CException {
public:
    enum {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    explicit CFileException(int cause = none, LONG osError = -1, CString fileName = {});

    // The framework cause for a Windows error code.
    static int OsErrorToException(LONG osError);

    // Raises the exception for the error code and file.
    [[noreturn]] static void ThrowOsError(LONG osError, const CString& fileName = {});

    BOOL GetErrorMessage(char* buffer, UINT maxChars, UINT* helpContext = nullptr) const override;

    int m_cause { none };
    LONG m_lOsError { -1 };
    CString m_strFileName {};
};
