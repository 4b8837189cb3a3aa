#include "platform/Say.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace platform {

void Say(const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    std::va_list again;
    va_copy(again, arguments);
    int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string line = "quorvel: ";
    if (length > 0) {
        std::size_t start = line.size();
        line.resize(start + std::size_t(length) + 1);
        std::vsnprintf(line.data() + start, std::size_t(length) + 1, format, again);
        line.resize(start + std::size_t(length));
    }
    va_end(again);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace platform
