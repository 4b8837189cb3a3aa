#include "control/Debugging.h"

#include "platform/Say.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace {

const char* DebugSetting()
{
    const char* debug = std::getenv("QUORVEL_CONTROL_DEBUG");
    return (debug && *debug && std::string_view(debug) != "0") ? debug : nullptr;
}

// The file named by the setting, opened once; -1 for stderr.
int DebugFile()
{
    static const int s_fd = [] {
        const char* debug = DebugSetting();
        if (!debug || debug[0] != '/')
            return -1;
        return ::open(debug, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    }();
    return s_fd;
}

} // namespace

bool ControlDebugging()
{
    return DebugSetting() != nullptr;
}

void DebugSay(const char* format, ...)
{
    if (!ControlDebugging())
        return;
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    int fd = DebugFile();
    if (fd < 0) {
        platform::Say("%s", text);
        return;
    }
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[1200];
    int length = std::snprintf(line, sizeof line, "quorvel[%d] %lld.%03ld: %s\n", int(getpid()),
        (long long)now.tv_sec, now.tv_nsec / 1000000, text);
    if (length > 0)
        (void)!::write(fd, line, size_t(length) < sizeof line ? size_t(length) : sizeof line - 1);
}
