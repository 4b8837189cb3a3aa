#include "zip/ZipMemoryBlock.h"

#include "zip/ZipException.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

CZipMemoryBlock::~CZipMemoryBlock()
{
    Close();
}

void CZipMemoryBlock::Attach(const BYTE* data, DWORD size)
{
    Close();
    // Attached bytes are only ever read: growStep 0 keeps Write from reaching them.
    buffer = const_cast<BYTE*>(data);
    growStep = 0;
    capacity = size;
    length = size;
    owns = false;
    position = 0;
}

void CZipMemoryBlock::Close()
{
    if (owns && buffer)
        std::free(buffer);
    buffer = nullptr;
    growStep = position = capacity = length = 0;
}

DWORD CZipMemoryBlock::Seek(LONG offset, int origin)
{
    switch (origin) {
    case begin:
        position = DWORD(offset);
        break;
    case current:
        position += DWORD(offset);
        break;
    case end:
        position = length + DWORD(offset);
        break;
    default:
        break;
    }
    return position;
}

void CZipMemoryBlock::SetLength(DWORD newLength)
{
    if (newLength <= capacity) {
        position = newLength;
    } else {
        Grow(newLength);
    }
    length = newLength;
}

UINT CZipMemoryBlock::Read(void* out, UINT count)
{
    if (position >= length)
        return 0;
    UINT n = std::min<UINT>(count, length - position);
    std::memcpy(out, buffer + position, n);
    position += n;
    return n;
}

void CZipMemoryBlock::Write(const void* in, UINT count)
{
    if (count == 0)
        return;
    if (DWORD(position + count) < position) // beyond what 32 bits can address
        ThrowZipError(ZipErrorCause::ZlibMemory);
    if (position + count > capacity)
        Grow(position + count);
    std::memcpy(buffer + position, in, count);
    position += count;
    length = std::max(length, position);
}

void CZipMemoryBlock::Grow(DWORD needed)
{
    if (capacity >= needed)
        return;
    if (growStep == 0)
        ThrowZipError(ZipErrorCause::ZlibMemory);
    unsigned long long newCapacity = capacity;
    while (newCapacity < needed)
        newCapacity += growStep;
    if (newCapacity > 0xFFFFFFFFull)
        ThrowZipError(ZipErrorCause::ZlibMemory);
    void* grown = buffer ? std::realloc(buffer, size_t(newCapacity)) : std::malloc(size_t(newCapacity));
    if (!grown)
        ThrowZipError(ZipErrorCause::ZlibMemory);
    buffer = static_cast<BYTE*>(grown);
    capacity = DWORD(newCapacity);
    owns = true;
}
