#include "zip/ZipDecryptor.h"

#include <zlib.h>

namespace {

// One step of the CRC-32 with zlib's table (reflected polynomial 0xEDB88320).
inline DWORD CrcStep(DWORD crc, BYTE b)
{
    static const z_crc_t* s_table = get_crc_table();
    return (crc >> 8) ^ DWORD(s_table[(crc ^ b) & 0xFF]);
}

} // namespace

void CZipDecryptor::InitKeys(const BYTE* password, DWORD length)
{
    key0 = 0x12345678;
    key1 = 0x23456789;
    key2 = 0x34567890;
    for (DWORD i = 0; i < length; ++i)
        UpdateKeys(password[i]);
}

void CZipDecryptor::UpdateKeys(BYTE plain)
{
    key0 = CrcStep(key0, plain);
    key1 = (key1 + (key0 & 0xFF)) * 134775813 + 1;
    key2 = CrcStep(key2, BYTE(key1 >> 24));
}

BYTE CZipDecryptor::DecryptByte() const
{
    DWORD t = (key2 & 0xFFFF) | 2;
    return BYTE(((t * (t ^ 1)) >> 8) & 0xFF);
}

void CZipDecryptor::DecodeByte(BYTE& byte)
{
    byte ^= DecryptByte();
    UpdateKeys(byte);
}

void CZipDecryptor::DecodeBuffer(BYTE* data, DWORD length)
{
    for (DWORD i = 0; i < length; ++i)
        DecodeByte(data[i]);
}

void CZipDecryptor::EncodeByte(BYTE& byte)
{
    BYTE mask = DecryptByte();
    UpdateKeys(byte);
    byte ^= mask;
}
