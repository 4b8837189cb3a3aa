#include "platform/DataFolder.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace platform {

CString UserDataFolder()
{
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* entry = getpwuid(getuid());
        home = entry ? entry->pw_dir : nullptr;
    }
    return home && home[0] == '/' ? CString(home) + "/.local/share" : CString();
}

} // namespace platform
