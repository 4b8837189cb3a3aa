#pragma once

#include "zip/ZipFileInterface.h"

#include <cstdint>
#include <string>

template<typename T> class Result;

// The file a verb makes, written under a temporary name in the folder of its
// final path and renamed over that path only once it is complete. Until then
// whatever was at the final path stays untouched; an output that is given up
// (or never committed) leaves nothing behind.
//
// Writes and seeks go to the descriptor directly; failures throw
// CFileException naming the final path.
class COutputFile : public CZipFileInterface {
public:
    COutputFile() = default;
    ~COutputFile() override;
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // Creates the temporary file next to `finalPath`; fails when it cannot.
    Result<void> Create(const std::string& finalPath);
    // Flushes the data to disk, gives the file `mode` and renames it to the
    // final path.
    void Commit(unsigned mode);
    // Removes the temporary file.
    void Discard();

    std::uint64_t Size() const { return size; }

    void Close() override { Discard(); }
    DWORD GetPosition() const override { return DWORD(position); }
    DWORD Seek(LONG offset, int origin) override;
    DWORD GetLength() const override { return DWORD(size); }
    CString GetFilePath() const override { return finalPath; }
    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    bool IsClosed() const override { return fd < 0; }

private:
    [[noreturn]] void ThrowErrno(int error) const;

    int fd { -1 };
    std::string finalPath {};
    std::string tempPath {};
    std::uint64_t position { 0 };
    std::uint64_t size { 0 };
};
