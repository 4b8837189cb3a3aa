#pragma once

#include "platform/Types.h"

// The handle-based file calls. A HANDLE is a descriptor in disguise.
namespace platform {

using HANDLE = long;
constexpr HANDLE INVALID_HANDLE_VALUE = -1;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;

// Sharing modes have no equivalent here and are ignored. Never follows a
// symbolic link at the final component when writing.
HANDLE CreateFile(LPCSTR path, DWORD access, DWORD shareMode, void* security, DWORD disposition,
    DWORD attributes, HANDLE templateFile);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written, void* overlapped);
// Waits until the file's data is on the disk (fdatasync).
BOOL FlushFileBuffers(HANDLE file);
BOOL CloseHandle(HANDLE handle);

} // namespace platform
