#pragma once

#include "app/SavedData.h" // IsValidPackageId: the player's rule for ids

#include <optional>
#include <string>
#include <string_view>

// A package's identity: the key "id" of package.ini's section SETTINGS. The
// player keeps what the package's movies save under it, so a package rebuilt
// with the same id finds its saved data again.

// 32 lower-case hex digits from the system's random source; nothing when
// that source fails.
std::optional<std::string> MakePackageId();

// The id that the player reads from the settings text `text` (as
// GetPrivateProfileString finds it), or nothing when there is none.
std::optional<std::string> FindPackageId(const std::string& text);

// `text` with its id set to `id`, every other byte kept. The value of the
// first "id" key in a SETTINGS section is replaced; without one, a line
// "id=`id`" follows the first SETTINGS header, and without that header the
// text gains a SETTINGS section at its end. New lines end as the text's
// lines do (LF when it has LF without CR, else CR LF).
std::string WithPackageId(const std::string& text, const std::string& id);
