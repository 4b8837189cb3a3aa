#pragma once

#include "platform/Types.h"

// The per-user folder the package is unpacked into: the temporary path
// followed by "KJ". Empty when there is no temporary path to use.
CString FormWorkspacePath();

// Deletes every file and folder inside `folder`, at any depth; the folder
// itself stays. Links are deleted as links, never followed.
void DeleteFolderContents(CString folder);

// Writes resource `id` of type `type` of this executable to `path`,
// replacing any file there. FALSE when it cannot be written.
BOOL WriteResourceToFile(int id, LPCSTR type, LPCSTR path);
