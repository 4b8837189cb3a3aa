#pragma once

#include "zip/ZipFileInterface.h"

// Bytes held in memory elsewhere, read in place as a file. The block never
// frees them and never writes to them.
class CZipMemoryBlock : public CZipFileInterface {
public:
    CZipMemoryBlock() = default;
    ~CZipMemoryBlock() override = default;
    CZipMemoryBlock(const CZipMemoryBlock&) = delete;
    CZipMemoryBlock& operator=(const CZipMemoryBlock&) = delete;

    // Reads `size` bytes at `data` in place; the caller keeps them alive.
    void Attach(const BYTE* data, DWORD size);

    void Close() override;
    DWORD GetPosition() const override { return position; }
    // Positions are not clamped: reading beyond the end gives nothing.
    DWORD Seek(LONG offset, int origin) override;
    DWORD GetLength() const override { return length; }
    CString GetFilePath() const override { return {}; }
    UINT Read(void* buffer, UINT count) override;
    // Refuses any byte (cause ZlibMemory, as a block that cannot grow).
    void Write(const void* buffer, UINT count) override;
    bool IsClosed() const override { return bytes == nullptr; }

private:
    const BYTE* bytes { nullptr };
    DWORD position { 0 };
    DWORD length { 0 };
};
