#include "platform/CodePage.h"

#include <cstring>

namespace platform {

static BOOL CopyUnchanged(LPCSTR source, LPSTR destination, DWORD length)
{
    if (!source || !destination)
        return FALSE;
    if (source != destination)
        std::memmove(destination, source, length);
    return TRUE;
}

BOOL OemToCharBuff(LPCSTR source, LPSTR destination, DWORD length)
{
    return CopyUnchanged(source, destination, length);
}

BOOL CharToOemBuff(LPCSTR source, LPSTR destination, DWORD length)
{
    return CopyUnchanged(source, destination, length);
}

} // namespace platform
