#pragma once

#include "platform/Types.h"

namespace platform {

// The user's data folder, which holds the program's own folder "quorvel"
// (the class registry, the installed control, what movies save):
// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share (the
// password database's home when HOME is unset or empty). Empty when there
// is no absolute home: the folder would then land below the current folder
// or at the root, and nothing is kept at all.
CString UserDataFolder();

} // namespace platform
