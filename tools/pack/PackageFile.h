#pragma once

#include "platform/MappedFile.h"

#include <span>
#include <string>

template<typename T> class Result;

// The package a quorvel-pack verb works on, mapped from disk: a ZIP archive,
// a player that carries one as its resource IDR_PACKAGE (res/ResourceIds.h),
// or a Windows player that carries one as its PE resource of that type and id.
class CPackageFile {
public:
    // Fails when the file cannot be read or is too large for a package, and
    // for a Windows executable that is damaged or carries no package.
    Result<void> Open(const char* path);

    // The archive's bytes.
    const BYTE* data() const { return m_data; }
    DWORD size() const { return m_size; }
    // Whether the file is a Windows executable.
    bool IsWindows() const { return m_windows; }
    // The whole file.
    std::span<const BYTE> image() const { return { m_file.data(), m_file.size() }; }

private:
    CMappedFile m_file {};
    const BYTE* m_data { nullptr };
    DWORD m_size { 0 };
    bool m_windows { false };
};
