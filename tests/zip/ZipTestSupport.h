#pragma once

#include "support/ArchiveBuilder.h"
#include "zip/ZipException.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"

#include <utility>

// An archive's bytes, the memory block on them and a reader, kept together
// so that the bytes outlive the reader's use of them.
struct MemoryArchive {
    explicit MemoryArchive(Bytes archiveBytes)
        : bytes(std::move(archiveBytes))
    {
        block.Attach(bytes.data(), DWORD(bytes.size()));
    }
    explicit MemoryArchive(const TestArchive& archive)
        : MemoryArchive(archive.Build())
    {
    }

    // Opens, and sets the password when one is given.
    void Open(const char* password = nullptr)
    {
        reader.Open(block);
        if (password)
            reader.SetPassword(password);
    }

    Bytes bytes;
    CZipMemoryBlock block {};
    CZipReader reader {};
};

// The cause `call` throws a CZipException with; 0 when it does not throw.
template<typename Call> int CauseOf(Call&& call)
{
    try {
        std::forward<Call>(call)();
    } catch (const CZipException& e) {
        return e.cause;
    }
    return 0;
}

// Reads the open entry to its end in chunks of `chunk` bytes.
inline Bytes ReadToEnd(CZipReader& reader, DWORD chunk = 65536)
{
    Bytes all, buffer(chunk);
    while (DWORD n = reader.ReadEntry(buffer.data(), chunk))
        all.insert(all.end(), buffer.begin(), buffer.begin() + n);
    return all;
}

// Opens, reads and closes one entry; the bytes it delivered.
inline Bytes ReadEntryBytes(CZipReader& reader, WORD index, DWORD chunk = 65536)
{
    if (!reader.OpenEntry(index))
        return {};
    Bytes all = ReadToEnd(reader, chunk);
    reader.CloseEntry();
    return all;
}
