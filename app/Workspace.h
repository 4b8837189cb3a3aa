#pragma once

#include "app/WorkspaceLock.h"
#include "platform/Resources.h"

// The per-user folder the package is unpacked into: the temporary path
// followed by "KJ". Empty when there is no temporary path to use.
CString FormWorkspacePath();

// Every running player has a workspace of its own. The first is `base`
// itself (<temp>/KJ); while that one is held by a live player, the next
// start takes the first free sibling, `base`-2, `base`-3 ... up to
// `base`-MaxWorkspaces. Number n of `base` (1 is `base` itself).
constexpr int MaxWorkspaces = 64;
CString WorkspaceName(const CString& base, int n);

// Makes and locks this run's workspace: the first of the names above that
// no live player holds. What a run that could not empty its workspace left
// there is deleted before it is returned. A link or file planted at `base`
// is refused (empty result, last error "access denied"); one planted at a
// sibling's name is passed over. Empty (last error set) when every name is
// taken.
CString ClaimWorkspace(const CString& base, CWorkspaceLock& lock);

// Empties and removes the siblings of `base` that no live player holds
// (left by runs that were killed), and empties `base` itself when nobody
// holds it. `mine` (this run's own workspace) is left alone.
void SweepStaleWorkspaces(const CString& base, const CString& mine);

// Empties workspace `name` (one of `base`'s names) if nobody holds it: its
// lock is taken here without waiting, for as long as the emptying takes. A
// sibling is removed as well. The outcome of taking the lock: anything but
// Locked means the workspace was not touched.
CWorkspaceLock::Outcome EmptyUnheldWorkspace(const CString& base, const CString& name);

// Deletes every file and folder inside `folder`, at any depth; the folder
// itself stays. Links are deleted as links, never followed.
void DeleteFolderContents(CString folder);

// Writes resource `id` of type `type` of `module` (null: this executable) to
// `path`, replacing any file there. FALSE (last error set) when it cannot be
// written. The file is written beside its target under a name that no other
// writer can have (created with O_EXCL), made durable, and then renamed over
// the target in one step: whoever opens `path` sees a whole file, the old or
// the new, and a copy that is loaded somewhere is never changed under it.
BOOL WriteResourceToFile(int id, LPCSTR type, LPCSTR path, platform::HMODULE module = nullptr);
