#include "platform/Timeline.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace platform {

namespace {

// The descriptor named by QUORVEL_TIMELINE, or -1.
int TimelineDescriptor()
{
    static const int s_fd = [] {
        const char* text = std::getenv("QUORVEL_TIMELINE");
        if (!text || !*text)
            return -1;
        char* end = nullptr;
        long fd = std::strtol(text, &end, 10);
        return (*end == '\0' && fd >= 0 && fd < 1024) ? int(fd) : -1;
    }();
    return s_fd;
}

} // namespace

void TimelineMark(const char* step)
{
    int fd = TimelineDescriptor();
    if (fd < 0)
        return;
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[160];
    int length = std::snprintf(line, sizeof line, "quorvel-timeline %lld.%06ld %s\n", (long long)now.tv_sec,
        now.tv_nsec / 1000, step);
    if (length > 0)
        (void)!write(fd, line, size_t(length) < sizeof line ? size_t(length) : sizeof line - 1);
}

} // namespace platform
