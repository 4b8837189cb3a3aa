#pragma once

#include "platform/Types.h"

#include <optional>
#include <string>

namespace platform {

// Reads `key` of `section` from the INI file at `fileName` into `buffer` of
// `size` characters. Section and key names match without regard to case;
// blanks around names and values are removed and a value in matching quotes
// loses them; the first matching section and key win. Without the file,
// section or key, the default (its trailing blanks removed) is returned. The
// result is cut to size - 1 characters; returns the characters copied.
DWORD GetPrivateProfileString(
    LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size, LPCSTR fileName);

// The value of `key` in `section` of an INI file's `text` (a UTF-8
// byte-order mark at its start skipped), read by the rules above and not
// cut; nothing when the section or key is missing.
std::optional<std::string> FindProfileValue(const std::string& text, const char* section, const char* key);

} // namespace platform
