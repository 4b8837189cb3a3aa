#pragma once

#include "platform/Types.h"

#include <optional>
#include <string>

// The settings a package carries, read from the archive itself before (or
// without) unpacking it: package.ini as the player finds it in its
// workspace, that is the last file entry whose base name is "package.ini"
// (extraction drops the folders and a later file replaces an earlier one).

// The text of that entry; nothing when the archive has none or cannot be
// read (damaged, another password).
std::optional<std::string> CarriedSettingsText(const BYTE* archive, DWORD size);

// The key "id" of its section SETTINGS, as the player reads it; empty
// without one.
CString CarriedPackageId(const BYTE* archive, DWORD size);
