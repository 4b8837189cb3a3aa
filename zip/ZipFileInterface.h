#pragma once

#include "platform/Types.h"

// A random-access file as the ZIP layer sees it: in memory or on disk. The
// reader only reads and seeks; the writer writes and seeks back.
class CZipFileInterface {
public:
    enum SeekOrigin : int { begin = 0, current = 1, end = 2 };

    virtual ~CZipFileInterface() = default;

    virtual void Close() = 0;
    virtual DWORD GetPosition() const = 0;
    virtual DWORD Seek(LONG offset, int origin) = 0;
    virtual DWORD GetLength() const = 0;
    virtual void SeekToBegin() { Seek(0, begin); }
    virtual void SeekToEnd() { Seek(0, end); }
    virtual CString GetFilePath() const = 0;
    virtual UINT Read(void* buffer, UINT count) = 0;
    virtual void Write(const void* buffer, UINT count) = 0;
    virtual bool IsClosed() const = 0;
};
