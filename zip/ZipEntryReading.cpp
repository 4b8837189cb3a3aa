// Reading one entry: traditional decryption, raw inflate, CRC-32.

#include "zip/ZipReader.h"

#include "zip/ZipException.h"
#include "zip/ZipFileSystem.h"
#include "zip/ZipRecords.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace ZipRecords;

voidpf CZipReader::TrackedAlloc(voidpf opaque, uInt items, uInt size)
{
    void* block = std::malloc(size_t(items) * size);
    if (!block || !opaque)
        return block;
    try {
        static_cast<std::vector<void*>*>(opaque)->push_back(block);
    } catch (...) {
        // zlib hears of a failed allocation as Z_MEM_ERROR; nothing may
        // unwind through it.
        std::free(block);
        return Z_NULL;
    }
    return block;
}

void CZipReader::TrackedFree(voidpf opaque, voidpf block)
{
    if (opaque) {
        auto& blocks = *static_cast<std::vector<void*>*>(opaque);
        auto it = std::find(blocks.begin(), blocks.end(), block);
        if (it != blocks.end())
            blocks.erase(it);
    }
    std::free(block);
}

void CZipReader::FreeZlibAllocations()
{
    for (void* block : zlibAllocations)
        std::free(block);
    zlibAllocations.clear();
}

void CZipReader::DecodeBuffer(DWORD count)
{
    if (directory.GetCurrentEntry()->IsEncrypted())
        decryptor.DecodeBuffer(inflater.readBuffer.data(), count);
}

// The 12 bytes in front of encrypted data end in a check byte: the high byte
// of the CRC-32, or of the DOS time when the CRC-32 was not known up front
// (a data descriptor follows the data).
bool CZipReader::CheckEncryptionHeader()
{
    BYTE header[EncryptionHeaderSize];
    source.ReadBytes(header, EncryptionHeaderSize);
    for (BYTE& b : header)
        decryptor.DecodeByte(b);
    const CZipEntryHeader& entry = *directory.GetCurrentEntry();
    BYTE expected = entry.HasDataDescriptor() ? BYTE(entry.modTime >> 8) : BYTE(entry.crc32 >> 24);
    return header[EncryptionHeaderSize - 1] == expected;
}

bool CZipReader::OpenEntry(WORD index)
{
    if (!directory.IsValidIndex(index))
        return false;
    if (entryOpen)
        return false;

    inflater.readBuffer.Allocate(CZipInflater::ReadBufferSize);
    directory.PositionAtEntry(index);
    const CZipEntryHeader& entry = *directory.GetCurrentEntry();

    if (entry.IsEncrypted()) {
        if (password.empty())
            ThrowError(ZipErrorCause::BadPassword);
        decryptor.InitKeys(password.data(), password.size());
        if (!CheckEncryptionHeader())
            ThrowError(ZipErrorCause::BadPassword);
    }
    if (entry.method != MethodStored && entry.method != MethodDeflated)
        ThrowError(ZipErrorCause::Damaged);
    DWORD headerBytes = entry.IsEncrypted() ? EncryptionHeaderSize : 0;
    if (entry.compressedSize < headerBytes) // the encryption header cannot fit
        ThrowError(ZipErrorCause::Damaged);

    z_stream& stream = inflater.stream;
    if (entry.method == MethodDeflated) {
        stream.opaque = &zlibAllocations;
        stream.next_in = nullptr;
        stream.avail_in = 0;
        CheckZlib(inflateInit2(&stream, -MAX_WBITS));
    }

    inflater.compressedLeft = entry.compressedSize - headerBytes;
    inflater.runningCrc = 0;
    inflater.uncompressedLeft = entry.uncompressedSize;
    inflater.streamEnded = false;
    inflater.dummyByteGiven = false;
    stream.total_out = 0;
    stream.avail_in = 0;
    entryOpen = true;
    return true;
}

// Brings the next block of compressed bytes into the read buffer. When they
// are all used and the inflater still wants input, it gets a single zero
// byte once; wanting more than that means the data ends early.
void CZipReader::RefillInput()
{
    const CZipEntryHeader& entry = *directory.GetCurrentEntry();
    CZipInflater& state = inflater;
    DWORD count = std::min(state.readBuffer.size(), state.compressedLeft);
    if (count == 0) {
        if (entry.method != MethodDeflated || state.dummyByteGiven)
            ThrowError(ZipErrorCause::Damaged);
        state.readBuffer[0] = 0;
        state.dummyByteGiven = true;
        count = 1;
    } else {
        source.ReadBytes(state.readBuffer.data(), count);
        DecodeBuffer(count);
        state.compressedLeft -= count;
    }
    state.stream.next_in = state.readBuffer.data();
    state.stream.avail_in = count;
}

DWORD CZipReader::ReadEntry(void* buffer, DWORD size)
{
    if (!entryOpen || !buffer || size == 0)
        return 0;

    const CZipEntryHeader& entry = *directory.GetCurrentEntry();
    bool deflated = entry.method == MethodDeflated;
    CZipInflater& state = inflater;
    z_stream& stream = state.stream;
    if (deflated && state.streamEnded)
        return 0;

    stream.next_out = static_cast<Bytef*>(buffer);
    stream.avail_out = std::min(size, state.uncompressedLeft);
    DWORD delivered = 0;
    // With nothing left to deliver, an inflater that has not seen its end of
    // stream still gets the remaining compressed bytes (an empty entry's 03 00).
    bool force = deflated && stream.avail_out == 0 && state.compressedLeft > 0;

    while (stream.avail_out > 0 || (force && state.compressedLeft > 0)) {
        if (stream.avail_in == 0)
            RefillInput();
        if (deflated) {
            uLong before = stream.total_out;
            Bytef* start = stream.next_out;
            int result = inflate(&stream, Z_SYNC_FLUSH);
            DWORD produced = DWORD(stream.total_out - before);
            state.runningCrc = DWORD(::crc32(state.runningCrc, start, produced));
            state.uncompressedLeft -= produced;
            delivered += produced;
            if (result == Z_STREAM_END) {
                state.streamEnded = true;
                break;
            }
            CheckZlib(result);
        } else {
            DWORD count = std::min(stream.avail_out, stream.avail_in);
            std::memcpy(stream.next_out, stream.next_in, count);
            state.runningCrc = DWORD(::crc32(state.runningCrc, stream.next_out, count));
            state.uncompressedLeft -= count;
            stream.next_in += count;
            stream.next_out += count;
            stream.avail_in -= count;
            stream.avail_out -= count;
            stream.total_out += count;
            delivered += count;
        }
    }
    return delivered;
}

CZipReader::EntryClose CZipReader::CloseEntry(CloseMode mode)
{
    return FinishEntry(nullptr, mode);
}

CZipReader::EntryClose CZipReader::FinishEntry(const char* path, CloseMode mode)
{
    if (!entryOpen)
        return EntryClose::notOpen;

    const CZipEntryHeader& entry = *directory.GetCurrentEntry();
    bool afterException = mode == closeAfterException;
    EntryClose result = EntryClose::closed;
    if (!afterException) {
        if (inflater.uncompressedLeft != 0)
            result = EntryClose::endedEarly;
        else if (inflater.runningCrc != entry.crc32)
            ThrowError(ZipErrorCause::CrcMismatch);
        if (entry.method == MethodDeflated)
            inflateEnd(&inflater.stream);
        if (path) {
            if (!ZipFileSystem::ApplyModTime(
                    path, ZipFileSystem::DosTimeToCalendar(entry.modTime, entry.modDate)))
                result = EntryClose::notStamped;
            else if (!ZipFileSystem::ApplyAttributes(path, entry.GetSystemAttributes()))
                result = EntryClose::notStamped;
        }
    }
    directory.FinishEntry(afterException);
    entryOpen = false;
    inflater.readBuffer.Release();
    FreeZlibAllocations();
    return result;
}
