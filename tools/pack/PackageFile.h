#pragma once

#include "platform/MappedFile.h"

#include <string>

// The package a quorvel-pack verb works on: a ZIP archive, mapped from disk.
class CPackageFile {
public:
    // False with a message in `error` when the file cannot be read or is
    // too large for a package.
    bool Open(const char* path, std::string& error);

    const BYTE* data() const { return m_file.data(); }
    DWORD size() const { return DWORD(m_file.size()); }

private:
    CMappedFile m_file {};
};
