#pragma once

#include "zip/ZipFileInterface.h"

// A file held in memory: either bytes attached from elsewhere (which it never
// frees and cannot grow) or a buffer of its own that grows in steps.
class CZipMemoryBlock : public CZipFileInterface {
public:
    CZipMemoryBlock() = default;
    ~CZipMemoryBlock() override;
    CZipMemoryBlock(const CZipMemoryBlock&) = delete;
    CZipMemoryBlock& operator=(const CZipMemoryBlock&) = delete;

    // Reads `size` bytes at `data` in place; the caller keeps them alive.
    void Attach(const BYTE* data, DWORD size);

    void Close() override;
    void Flush() override { }
    DWORD GetPosition() const override { return position; }
    DWORD Seek(LONG offset, int origin) override;
    DWORD GetLength() const override { return length; }
    void SetLength(DWORD newLength) override;
    CString GetFilePath() const override { return {}; }
    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    bool IsClosed() const override { return buffer == nullptr; }

private:
    void Grow(DWORD needed);

    BYTE* buffer { nullptr };
    DWORD growStep { 0 };
    DWORD position { 0 };
    DWORD capacity { 0 };
    DWORD length { 0 };
    bool owns { false };
};
