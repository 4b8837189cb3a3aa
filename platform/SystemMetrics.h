#pragma once

#include "platform/Resources.h"
#include "platform/WindowTypes.h"

// The window system's global queries, through the installed backend.
namespace platform {

int GetSystemMetrics(int index);
BOOL GetCursorPos(POINT* point);
// String table entry `id` of the running executable; empty when there is none.
CString LoadString(UINT id);

} // namespace platform
