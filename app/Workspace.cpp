#include "app/Workspace.h"

#include "platform/FileFind.h"
#include "platform/FileSystem.h"
#include "platform/HandleFile.h"
#include "platform/Resources.h"

using namespace platform;

CString FormWorkspacePath()
{
    char tempPath[MAX_PATH] = {};
    DWORD length = GetTempPath(MAX_PATH, tempPath);
    if (length == 0 || length >= DWORD(MAX_PATH))
        return {};
    return CString(tempPath) + "KJ";
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

    CString temporary = CString(path) + ".new";
    HANDLE file
        = CreateFile(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, INVALID_HANDLE_VALUE);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD written = 0;
    BOOL complete = WriteFile(file, bytes, size, &written, nullptr);
    complete = CloseHandle(file) && complete;
    if (!complete || !MoveFileEx(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING)) {
        DeleteFile(temporary.c_str());
        return FALSE;
    }
    return TRUE;
}
