#include "zip/ZipMemoryBlock.h"

#include "zip/ZipException.h"

#include <algorithm>
#include <cstring>

void CZipMemoryBlock::Attach(const BYTE* data, DWORD size)
{
    bytes = data;
    length = size;
    position = 0;
}

void CZipMemoryBlock::Close()
{
    bytes = nullptr;
    position = length = 0;
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

UINT CZipMemoryBlock::Read(void* out, UINT count)
{
    if (position >= length)
        return 0;
    UINT n = std::min<UINT>(count, length - position);
    std::memcpy(out, bytes + position, n);
    position += n;
    return n;
}

void CZipMemoryBlock::Write(const void*, UINT count)
{
    if (count != 0)
        ThrowZipError(ZipErrorCause::ZlibMemory);
}
