#pragma once

#include "platform/Resources.h"
#include "platform/WindowTypes.h"

#include <span>

// An icon of the resources: the image of an icon group (a PNG here). Icons
// are shared: loading the same group twice gives the same handle, and the
// handle stays valid for the rest of the run.
struct CIconData {
    std::span<const BYTE> image {};
};

namespace platform {

// Icon group `id` of `module` (null: the running executable); null when the
// module has no such group.
HICON LoadIcon(HMODULE module, DWORD id);

} // namespace platform
