#pragma once

#include "platform/Types.h"

#include <memory>

// An owned block of bytes with its count; no terminator.
class CZipBytes {
public:
    CZipBytes() = default;
    CZipBytes(const CZipBytes& other);
    CZipBytes& operator=(const CZipBytes& other);
    CZipBytes(CZipBytes&&) noexcept = default;
    CZipBytes& operator=(CZipBytes&&) noexcept = default;
    ~CZipBytes() = default;

    // Keeps the block when `count` equals the current count, otherwise
    // replaces it with `count` new bytes (none for 0); `clear` zeroes them.
    void Allocate(DWORD count, bool clear = false);
    void Release();

    BYTE* data() { return bytes.get(); }
    const BYTE* data() const { return bytes.get(); }
    DWORD size() const { return count; }
    bool empty() const { return count == 0; }
    BYTE& operator[](DWORD i) { return bytes[i]; }
    BYTE operator[](DWORD i) const { return bytes[i]; }

private:
    std::unique_ptr<BYTE[]> bytes {};
    DWORD count { 0 };
};
