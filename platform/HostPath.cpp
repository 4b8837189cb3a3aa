#include "platform/HostPath.h"

#include "platform/ErrorCodes.h"
#include "platform/LastError.h"

#include <cctype>

namespace platform {

std::optional<std::string> ToHostPath(const char* path)
{
    std::string host = path ? path : "";
    if (host.size() >= 2 && host[1] == ':' && std::isalpha(static_cast<unsigned char>(host[0]))) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    for (auto& c : host) {
        if (c == '\\')
            c = '/';
    }
    return host;
}

} // namespace platform
