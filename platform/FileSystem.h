#pragma once

#include "platform/Types.h"

#include <ctime>

// Files and folders under the names of the calls they stand in for. BOOL
// results set the last error on failure; the run-time library ones (_chdir,
// _access, _utime) return 0 or -1 and leave errno set, as the C library does.
// Symbolic links are never followed where a call deletes or changes a file.
namespace platform {

BOOL CreateDirectory(LPCSTR path, void* securityAttributes);
BOOL RemoveDirectory(LPCSTR path);
BOOL DeleteFile(LPCSTR path);
BOOL SetCurrentDirectory(LPCSTR path);

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x01;
// Renames `from` to `to`; with MOVEFILE_REPLACE_EXISTING a file at `to` is
// replaced in one step (the old file lives on for whoever has it open).
BOOL MoveFileEx(LPCSTR from, LPCSTR to, DWORD flags);

// Copies the current folder into `buffer` and returns its length; when
// `size` is too small (or `buffer` is null) returns the size needed,
// terminator included. 0 on failure.
DWORD GetCurrentDirectory(DWORD size, LPSTR buffer);

// The per-user private temporary folder, ending in "/". Returns the length,
// or the size needed when `size` is too small.
DWORD GetTempPath(DWORD size, LPSTR buffer);

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// When the high 16 bits carry a Unix file type (attributes >> 28 is 8 for a
// file, 4 for a folder) the permission bits (attributes >> 16) & 0777 are
// applied; otherwise read-only (0x01) removes every write bit and its absence
// gives the owner's write bit back. Set-uid, set-gid and sticky bits are never
// applied, and a folder always keeps its owner's rwx so that it can be
// emptied. A symbolic link is refused (access denied) rather than followed.
BOOL SetFileAttributes(LPCSTR path, DWORD attributes);
DWORD GetFileAttributes(LPCSTR path);

int _chdir(LPCSTR path);
int _access(LPCSTR path, int mode);

struct _utimbuf {
    std::time_t actime;
    std::time_t modtime;
};
int _utime(LPCSTR path, const _utimbuf* times);

} // namespace platform
