#include "zip/ZipDecryptor.h"

#include <zlib.h>

namespace {

const z_crc_t* CrcTable()
{
    static const z_crc_t* s_table = get_crc_table();
    return s_table;
}

// One step of the CRC-32 with zlib's table (reflected polynomial 0xEDB88320).
inline DWORD CrcStep(const z_crc_t* table, DWORD crc, BYTE b)
{
    return (crc >> 8) ^ DWORD(table[(crc ^ b) & 0xFF]);
}

// The key schedule on keys held by the caller: every byte of a buffer goes
// through here, so the keys stay in registers for the whole buffer.
struct Keys {
    DWORD key0, key1, key2;

    inline void Update(const z_crc_t* table, BYTE plain)
    {
        key0 = CrcStep(table, key0, plain);
        key1 = (key1 + (key0 & 0xFF)) * 134775813 + 1;
        key2 = CrcStep(table, key2, BYTE(key1 >> 24));
    }

    inline BYTE Mask() const
    {
        DWORD t = (key2 & 0xFFFF) | 2;
        return BYTE(((t * (t ^ 1)) >> 8) & 0xFF);
    }
};

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
    Keys keys { key0, key1, key2 };
    keys.Update(CrcTable(), plain);
    key0 = keys.key0;
    key1 = keys.key1;
    key2 = keys.key2;
}

BYTE CZipDecryptor::DecryptByte() const
{
    return Keys { key0, key1, key2 }.Mask();
}

void CZipDecryptor::DecodeByte(BYTE& byte)
{
    byte ^= DecryptByte();
    UpdateKeys(byte);
}

void CZipDecryptor::DecodeBuffer(BYTE* data, DWORD length)
{
    const z_crc_t* table = CrcTable();
    Keys keys { key0, key1, key2 };
    for (DWORD i = 0; i < length; ++i) {
        BYTE plain = BYTE(data[i] ^ keys.Mask());
        data[i] = plain;
        keys.Update(table, plain);
    }
    key0 = keys.key0;
    key1 = keys.key1;
    key2 = keys.key2;
}

void CZipDecryptor::EncodeByte(BYTE& byte)
{
    BYTE mask = DecryptByte();
    UpdateKeys(byte);
    byte ^= mask;
}
