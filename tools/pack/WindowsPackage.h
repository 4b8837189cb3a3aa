#pragma once

#include "tools/pack/BuildInputs.h"

#include <string>
#include <vector>

// Whether the INPUT `path` is a Windows executable (it begins with "MZ"):
// `build` takes the package it carries instead of the file itself.
bool IsWindowsExecutable(const std::string& path);

// Appends the entries of the package the Windows executable `path` carries
// (its ZIP/129 resource), each read whole under the package password into
// its item's content, with its name, kind and time. Its other resources,
// the Flash control among them, stay behind. Fails for a damaged
// executable, one without a package, or a package the player could not
// unpack.
Result<void> CollectWindowsPackage(const std::string& path, std::vector<BuildItem>& items);
