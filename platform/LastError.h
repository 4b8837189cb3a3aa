#pragma once

#include "platform/Types.h"

// The per-thread last error of the layer's failing calls, in Windows codes.
namespace platform {

DWORD GetLastError();
void SetLastError(DWORD code);

// Maps an errno value to its Windows code. ENOENT becomes 2 (file not found)
// when the folder that should hold `path` exists and 3 (path not found)
// otherwise; without a path it is 2.
DWORD ErrorFromErrno(int error, const char* path = nullptr);

// SetLastError(ErrorFromErrno(error, path)); returns the code set.
DWORD SetLastErrorFromErrno(int error, const char* path = nullptr);

} // namespace platform
