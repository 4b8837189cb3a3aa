#pragma once

#include "platform/Types.h"

// Ownership of one workspace folder for a run: an exclusive flock on the
// folder itself, held until Release (or the process ends, however it ends,
// so a crashed owner frees it). The descriptor is close-on-exec: the
// processes the player starts never hold a workspace.
class CWorkspaceLock {
public:
    enum class Outcome {
        Locked, // ours now
        InUse, // another process holds it
        Missing, // no folder of that name
        NotAFolder, // a link, a file, or a folder of somebody else
        Failed, // the folder could not be opened (last error set)
    };

    CWorkspaceLock() = default;
    ~CWorkspaceLock() { Release(); }
    CWorkspaceLock(const CWorkspaceLock&) = delete;
    CWorkspaceLock& operator=(const CWorkspaceLock&) = delete;

    // Locks the folder at `path` (kernel or program form) without waiting.
    // A folder removed or replaced between its opening and its locking (by
    // a run that was sweeping it) is opened again.
    Outcome Acquire(const CString& path);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

private:
    int m_fd { -1 };
};
