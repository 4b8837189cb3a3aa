#include "zip/ZipBytes.h"

#include <cstring>

CZipBytes::CZipBytes(const CZipBytes& other)
{
    *this = other;
}

CZipBytes& CZipBytes::operator=(const CZipBytes& other)
{
    if (this == &other)
        return *this;
    Release();
    if (other.count) {
        bytes.reset(new BYTE[other.count]);
        std::memcpy(bytes.get(), other.bytes.get(), other.count);
        count = other.count;
    }
    return *this;
}

void CZipBytes::Allocate(DWORD newCount, bool clear)
{
    if (newCount != count) {
        Release();
        if (newCount) {
            bytes.reset(new BYTE[newCount]);
            count = newCount;
        }
    }
    if (clear && count)
        std::memset(bytes.get(), 0, count);
}

void CZipBytes::Release()
{
    bytes.reset();
    count = 0;
}
