#pragma once

#include "platform/FileException.h"

// A file opened by path, read and written through a descriptor. Positions and
// lengths are 32-bit, which is all that the ZIP records can express.
class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

    static constexpr int hFileNull = -1;

    CFile() = default;
    // Opens at once; throws CFileException when the file cannot be opened.
    CFile(LPCSTR fileName, UINT openFlags);
    virtual ~CFile();

    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opening for writing never follows a symbolic link at the final
    // component: such a path fails with access denied.
    virtual BOOL Open(LPCSTR fileName, UINT openFlags, CFileException* error = nullptr);
    virtual void Close();
    virtual void Flush();
    virtual DWORD GetPosition() const;
    virtual DWORD Seek(LONG offset, int from);
    virtual DWORD GetLength() const;
    virtual void SetLength(DWORD length);
    virtual UINT Read(void* buffer, UINT count);
    virtual void Write(const void* buffer, UINT count);
    virtual CString GetFilePath() const;

    void SeekToBegin() { Seek(0, begin); }
    DWORD SeekToEnd() { return Seek(0, end); }

    int m_hFile { hFileNull };

protected:
    [[noreturn]] void ThrowLastErrno() const;

    CString m_strFileName {};
};
