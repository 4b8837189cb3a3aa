#pragma once

#include "platform/Types.h"

#include <optional>

// Paths inside the program have the Windows form ("\\" between folders). At
// the boundary to the kernel both separators count and "/" is handed on.
namespace platform {

// The kernel form of `path`, or nothing (last error 3, path not found) when
// the path carries a drive such as "C:".
std::optional<std::string> ToHostPath(const char* path);

} // namespace platform
