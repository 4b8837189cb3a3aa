#pragma once

#include "platform/Types.h"

// Starting the system's tools, and the folder the system keeps its
// components in.
namespace platform {

// ${XDG_DATA_HOME:-~/.local/share}/quorvel/system, made when missing.
// Returns its length, or the size needed when `size` is too small; 0 when
// there is no such folder to be had.
UINT GetSystemDirectory(LPSTR buffer, UINT size);

// The one program this host knows how to start is the control registration
// tool, "regsvr32", with parameters "<module path> [/s] [/u]" (the path may
// hold blanks and is not quoted). It runs in a child process that loads the
// module and calls its DllRegisterServer (DllUnregisterServer with /u); the
// caller does not wait. The result is greater than 32 on success, and 2
// (file not found) for any other program; 31 when no child could be made.
std::intptr_t ShellExecute(
    void* owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, int show);

// Waits (a few seconds at most) until every registration this process
// started has ended, so that a control it is about to create is known.
void WaitForPendingRegistrations();

} // namespace platform
