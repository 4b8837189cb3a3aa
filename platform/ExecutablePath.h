#pragma once

#include <string>

namespace platform {

// The running executable's file, as the kernel names it (links resolved);
// empty when it cannot be read.
std::string ExecutablePath();
// Its folder, without the last "/" (empty for a file at the root); "."
// when the path cannot be read.
std::string ExecutableFolder();

} // namespace platform
