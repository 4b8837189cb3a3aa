#include "app/Workspace.h"

#include "platform/ErrorCodes.h"
#include "platform/FileFind.h"
#include "platform/FileSystem.h"
#include "platform/HandleFile.h"
#include "platform/LastError.h"
#include "platform/Resources.h"

#include <atomic>
#include <cstdio>
#include <random>
#include <unistd.h>

using namespace platform;

namespace {

bool IsRealFolder(const CString& path)
{
    DWORD attributes = GetFileAttributes(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A name beside `path` that no other process or call has used: the pid, a
// count and a random number. The file is made with CREATE_NEW (O_EXCL), so
// a name that exists after all is never shared, only passed over.
HANDLE CreateUniqueBeside(const CString& path, CString& name)
{
    static std::atomic<unsigned> s_count { 0 };
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[64];
        std::snprintf(
            suffix, sizeof suffix, ".%d-%u-%08x.new", int(::getpid()), s_count++, unsigned(random()));
        name = path + suffix;
        HANDLE file
            = CreateFile(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, INVALID_HANDLE_VALUE);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ALREADY_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

CString FormWorkspacePath()
{
    char tempPath[MAX_PATH] = {};
    DWORD length = GetTempPath(MAX_PATH, tempPath);
    if (length == 0 || length >= DWORD(MAX_PATH))
        return {};
    return CString(tempPath) + "KJ";
}

CString WorkspaceName(const CString& base, int n)
{
    return n <= 1 ? base : base + "-" + std::to_string(n);
}

CString ClaimWorkspace(const CString& base, CWorkspaceLock& lock)
{
    for (int n = 1; n <= MaxWorkspaces; ++n) {
        CString name = WorkspaceName(base, n);
        for (int round = 0; round < 2; ++round) {
            CreateDirectory(name.c_str(), nullptr);
            auto outcome = IsRealFolder(name) ? lock.Acquire(name) : CWorkspaceLock::Outcome::NotAFolder;
            if (outcome == CWorkspaceLock::Outcome::Locked) {
                // Left by a run that could not empty it (killed, power lost).
                DeleteFolderContents(name);
                return name;
            }
            // Removed by a run sweeping it just then: make it again.
            if (outcome == CWorkspaceLock::Outcome::Missing)
                continue;
            // The usual name taken by a link or file is refused, as it always
            // was: nothing is unpacked or deleted through it.
            if (n == 1 && outcome == CWorkspaceLock::Outcome::NotAFolder) {
                SetLastError(ERROR_ACCESS_DENIED);
                return {};
            }
            if (outcome == CWorkspaceLock::Outcome::Failed && n == 1)
                return {};
            break;
        }
    }
    SetLastError(ERROR_ACCESS_DENIED);
    return {};
}

void SweepStaleWorkspaces(const CString& base, const CString& mine)
{
    for (int n = 1; n <= MaxWorkspaces; ++n) {
        CString name = WorkspaceName(base, n);
        if (name != mine && IsRealFolder(name))
            EmptyUnheldWorkspace(base, name);
    }
}

CWorkspaceLock::Outcome EmptyUnheldWorkspace(const CString& base, const CString& name)
{
    CWorkspaceLock probe;
    auto outcome = probe.Acquire(name);
    if (outcome != CWorkspaceLock::Outcome::Locked)
        return outcome;
    DeleteFolderContents(name);
    // The usual name stays, as the workspace always has; siblings go.
    if (name != base)
        RemoveDirectory(name.c_str());
    return outcome;
}

void DeleteFolderContents(CString folder)
{
    // An empty path would name the root: never empty that.
    if (folder.empty())
        return;
    // A link (or a file) in the folder's place is not emptied: what it points
    // to is not ours. The trailing separator goes first, or lstat would
    // follow the link.
    CString bare = folder;
    while (bare.size() > 1 && bare.back() == '\\')
        bare.pop_back();
    DWORD attributes = GetFileAttributes(bare.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    if (folder.back() != '\\')
        folder += '\\';
    folder += "*.*";

    CFileFind finder;
    BOOL more = finder.FindFile(folder.c_str());
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        CString path = finder.GetFilePath();
        if (finder.IsDirectory()) {
            DeleteFolderContents(path);
            RemoveDirectory(path.c_str());
        } else {
            DeleteFile(path.c_str());
        }
    }
    finder.Close();
}

BOOL WriteResourceToFile(int id, LPCSTR type, LPCSTR path, HMODULE module)
{
    HRSRC resource = FindResource(module, MAKEINTRESOURCE(DWORD(id)), type);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = LockResource(loaded);
    DWORD size = SizeofResource(module, resource);
    if (!bytes || !path)
        return FALSE;

    CString temporary;
    HANDLE file = CreateUniqueBeside(path, temporary);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD written = 0;
    BOOL complete = WriteFile(file, bytes, size, &written, nullptr) && FlushFileBuffers(file);
    DWORD error = complete ? ERROR_SUCCESS : GetLastError();
    if (!CloseHandle(file) && complete) {
        complete = FALSE;
        error = GetLastError();
    }
    if (complete && !MoveFileEx(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING)) {
        complete = FALSE;
        error = GetLastError();
    }
    if (!complete) {
        DeleteFile(temporary.c_str());
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}
