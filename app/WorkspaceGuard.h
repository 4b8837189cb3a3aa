#pragma once

#include "app/PlayerSeams.h"

// The guard of a run's workspace: a small process of its own, this
// executable started afresh (posix_spawn of /proc/self/exe, never a bare
// fork of a process that runs GTK's and the engine's threads) before
// anything is unpacked. It holds no decrypted byte and no workspace lock
// (the lock's descriptor is close-on-exec). It waits on a pipe whose only
// writer is the player, so the pipe's end is the player's end, however it
// comes (an exit, SIGKILL, the out-of-memory killer, GDK's own exit, a
// crash). Then it empties the workspace if nobody holds it, through
// EmptyUnheldWorkspace, and ends.
class CWorkspaceGuard final : public IWorkspaceGuard {
public:
    void Watch(const std::string& workspace, const std::string& base) override;

private:
    // The writing end, close-on-exec; it closes only when this process ends.
    int m_nPipe { -1 };
};

// The guard's own run, for main before anything else: when `argv` starts
// the guard (--guard-workspace FD PID WORKSPACE BASE), waits for process PID
// to end (the end of pipe FD), empties WORKSPACE if nobody holds it, and
// returns the exit status (0; 2 for arguments that are not a guard's);
// otherwise -1.
int RunWorkspaceGuard(int argc, char** argv);

// The guard's watch itself: waits for the end of pipe `fd` (and for
// process `player` to be gone, when it is this process's parent), then
// empties `workspace` (one of `base`'s names) unless another process holds
// it.
void GuardWorkspace(int fd, int player, const std::string& workspace, const std::string& base);
