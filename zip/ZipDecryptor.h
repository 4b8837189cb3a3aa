#pragma once

#include "platform/Types.h"

// The traditional PKWARE stream cipher: three 32-bit keys stirred by every
// plain byte, as the ZIP application note publishes it.
class CZipDecryptor {
public:
    void InitKeys(const BYTE* password, DWORD length);
    void UpdateKeys(BYTE plain);
    BYTE DecryptByte() const;
    void DecodeByte(BYTE& byte);
    void DecodeBuffer(BYTE* data, DWORD length);

    // The same cipher run the other way, for writers.
    void EncodeByte(BYTE& byte);

private:
    DWORD key0 { 0 };
    DWORD key1 { 0 };
    DWORD key2 { 0 };
};
