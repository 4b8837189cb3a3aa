#include "platform/ExecutablePath.h"

#include <unistd.h>

namespace platform {

std::string ExecutablePath()
{
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    return n > 0 && std::size_t(n) < sizeof buffer ? std::string(buffer, std::size_t(n)) : std::string();
}

std::string ExecutableFolder()
{
    std::string path = ExecutablePath();
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return path.substr(0, slash);
}

} // namespace platform
