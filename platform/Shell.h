#pragma once

#include "platform/Types.h"

// Starting the system's tools, and the folder the system keeps its
// components in.
namespace platform {

// ${XDG_DATA_HOME:-~/.local/share}/quorvel/system, made when missing.
// Returns its length, or the size needed when `size` is too small; 0 (and
// the last error of the failed step) when there is no such folder to be
// had: no home, or a folder on the way that cannot be made.
UINT GetSystemDirectory(LPSTR buffer, UINT size);

// Where that folder is, or would be: empty only when there is no home.
CString GetSystemDirectoryName();

// The one program this host knows how to start is the control registration
// tool, "regsvr32", with parameters "<module path> [/s] [/u]" (the path may
// hold blanks and is not quoted). It is a fresh process: the registration
// program (below) started with posix_spawn as
//     <program> --register-control <module> [/s] [/u]
// which checks the module (CheckLoadableModule), loads it and calls its
// DllRegisterServer (DllUnregisterServer with /u). Nothing of this process,
// its threads or the libraries it has loaded, is carried into the tool. The
// caller does not wait. The result is greater than 32 on success, and 2
// (file not found) for any other program; 31 when no child could be made.
std::intptr_t ShellExecute(
    void* owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, int show);

// The program that plays the registration tool: "/proc/self/exe" (the
// running executable, whose main hands the call to RunRegistrationTool)
// unless set otherwise; tests, whose own executable is no player, name one.
void SetRegistrationProgram(const CString& program);

// The registration tool's own main: when argv asks for it
// ("--register-control" as the first argument), registers or unregisters
// the module and returns the exit status (0 done, 1 the module could not be
// loaded or refused, 2 a usage error). -1 when argv asks for something else.
int RunRegistrationTool(int argc, char** argv);

// Waits (a few seconds at most) until every registration this process
// started has ended, so that a control it is about to create is known.
void WaitForPendingRegistrations();

} // namespace platform
