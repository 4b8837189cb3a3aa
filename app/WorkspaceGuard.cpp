#include "app/WorkspaceGuard.h"

#include "app/Workspace.h"
#include "platform/Say.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr char GuardSwitch[] = "--guard-workspace";

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// How long the guard waits, after the pipe's end, for the player's last
// descriptors (its workspace lock among them) to close, and then for a lock
// that is still held to be let go.
constexpr auto ParentWait = milliseconds(1000);
constexpr auto LockWait = milliseconds(600);
constexpr auto Poll = milliseconds(5);

bool ParseNumber(const char* text, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= 0;
}

} // namespace

void CWorkspaceGuard::Watch(const std::string& workspace, const std::string& base)
{
    if (m_nPipe >= 0)
        return;
    // The reading end goes to the guard; the writing end stays here alone
    // (close-on-exec, so no program this process starts holds it open).
    // Both are moved above the standard streams, which the guard's are made
    // over; the guard's copy of the reading end is the one that is
    // inherited (a program started meanwhile may hold it too, which keeps
    // nothing open that matters: the end is the last writer's going).
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        platform::Say("the workspace guard cannot start: %s", std::strerror(errno));
        return;
    }
    int reading = ::fcntl(ends[0], F_DUPFD, 3);
    int writing = ::fcntl(ends[1], F_DUPFD_CLOEXEC, 3);
    ::close(ends[0]);
    ::close(ends[1]);
    if (reading < 0 || writing < 0) {
        platform::Say("the workspace guard cannot start: %s", std::strerror(errno));
        if (reading >= 0)
            ::close(reading);
        if (writing >= 0)
            ::close(writing);
        return;
    }
    // This executable afresh, under the name it was started by.
    std::vector<std::string> words = { program_invocation_name, GuardSwitch, std::to_string(reading),
        std::to_string(::getpid()), workspace, base };
    std::vector<char*> arguments;
    for (auto& word : words)
        arguments.push_back(word.data());
    arguments.push_back(nullptr);

    // A group of its own, so that a terminal's Ctrl-C or hang-up reaches
    // only the player (which empties the workspace itself); no input, no
    // output but its error stream.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::fflush(nullptr);
    pid_t child = 0;
    int error = ::posix_spawn(&child, "/proc/self/exe", &actions, &attributes, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(reading);
    if (error != 0) {
        platform::Say("the workspace guard cannot start: %s", std::strerror(error));
        ::close(writing);
        return;
    }
    m_nPipe = writing;
}

int RunWorkspaceGuard(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], GuardSwitch) != 0)
        return -1;
    long fd = 0, player = 0;
    if (argc != 6 || !ParseNumber(argv[2], fd) || !ParseNumber(argv[3], player) || !*argv[4] || !*argv[5])
        return 2;
    // The player's signals are its own to handle.
    for (int number : { SIGINT, SIGHUP, SIGPIPE })
        std::signal(number, SIG_IGN);
    // So that no folder is kept busy by the guard; nothing depends on it.
    if (::chdir("/") != 0)
        platform::Say("workspace guard: %s", std::strerror(errno));

    GuardWorkspace(int(fd), int(player), argv[4], argv[5]);
    return 0;
}

void GuardWorkspace(int fd, int player, const std::string& workspace, const std::string& base)
{
    // Nobody writes: the read returns when the last writer is gone.
    for (;;) {
        char byte;
        ssize_t n = ::read(fd, &byte, 1);
        if (n == 0 || (n < 0 && errno != EINTR))
            break;
    }
    ::close(fd);

    // The pipe closes with the player's descriptors, its lock among them;
    // the kernel passes its children on to another parent only after all
    // of them are closed.
    auto deadline = steady_clock::now() + ParentWait;
    while (::getppid() == player && steady_clock::now() < deadline)
        std::this_thread::sleep_for(Poll);
    // A lock that stays held after that is another player's, which took the
    // name once this one was gone: never touched.
    deadline = steady_clock::now() + LockWait;
    while (EmptyUnheldWorkspace(base, workspace) == CWorkspaceLock::Outcome::InUse
        && steady_clock::now() < deadline)
        std::this_thread::sleep_for(Poll * 4);
}
