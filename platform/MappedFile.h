#pragma once

#include "platform/Types.h"

// A whole file mapped read-only into memory. The bytes stay valid, unchanged,
// for the object's lifetime.
class CMappedFile {
public:
    CMappedFile() = default;
    ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    // False (with the last error set) when the file cannot be opened or
    // mapped. An empty file maps to no bytes.
    bool Open(LPCSTR path);
    void Close();

    const BYTE* data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    const BYTE* m_data { nullptr };
    std::size_t m_size { 0 };
};
