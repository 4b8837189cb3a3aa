#pragma once

#include "platform/Types.h"

// The OEM and the ANSI code page of this host are both UTF-8, so converting
// between them copies the bytes unchanged (in place when src == dst).
namespace platform {

BOOL OemToCharBuff(LPCSTR source, LPSTR destination, DWORD length);
BOOL CharToOemBuff(LPCSTR source, LPSTR destination, DWORD length);

} // namespace platform
