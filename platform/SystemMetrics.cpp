#include "platform/SystemMetrics.h"

#include "platform/WindowBackend.h"

namespace platform {

int GetSystemMetrics(int index)
{
    return GetWindowBackend().GetSystemMetrics(index);
}

BOOL GetCursorPos(POINT* point)
{
    if (!point)
        return FALSE;
    *point = GetWindowBackend().GetCursorPos();
    return TRUE;
}

CString LoadString(UINT id)
{
    HRSRC resource = FindResource(nullptr, MAKEINTRESOURCE(id), MAKEINTRESOURCE(RT_STRING));
    if (!resource)
        return {};
    auto* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, resource)));
    return CString(bytes, SizeofResource(nullptr, resource));
}

} // namespace platform
