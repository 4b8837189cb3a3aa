#pragma once

#include "platform/Resources.h"

// The per-user folder the package is unpacked into: the temporary path
// followed by "KJ". Empty when there is no temporary path to use.
CString FormWorkspacePath();

// Deletes every file and folder inside `folder`, at any depth; the folder
// itself stays. Links are deleted as links, never followed.
void DeleteFolderContents(CString folder);

// Writes resource `id` of type `type` of `module` (null: this executable) to
// `path`, replacing any file there. FALSE when it cannot be written. The
// file is written beside its target and then renamed over it, so that a copy
// that is loaded somewhere is never changed under its users.
BOOL WriteResourceToFile(int id, LPCSTR type, LPCSTR path, platform::HMODULE module = nullptr);
