#pragma once

#include "platform/File.h"
#include "zip/ZipFileInterface.h"

// A file on disk through the ZIP layer's file interface. File errors pass as
// CFileException.
class CZipFile : public CZipFileInterface, public CFile {
public:
    // Opens at once; throws CFileException when it cannot.
    CZipFile(LPCSTR path, UINT openFlags);
    ~CZipFile() override = default;

    void Close() override;
    DWORD GetPosition() const override { return CFile::GetPosition(); }
    DWORD Seek(LONG offset, int origin) override { return CFile::Seek(offset, origin); }
    DWORD GetLength() const override { return CFile::GetLength(); }
    void SeekToBegin() override { CZipFileInterface::SeekToBegin(); }
    void SeekToEnd() override { CZipFileInterface::SeekToEnd(); }
    CString GetFilePath() const override;
    UINT Read(void* buffer, UINT count) override { return CFile::Read(buffer, count); }
    void Write(const void* buffer, UINT count) override { CFile::Write(buffer, count); }
    bool IsClosed() const override { return m_hFile == hFileNull; }
};
