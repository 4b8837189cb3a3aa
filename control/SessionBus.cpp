#include "control/SessionBus.h"

#include "control/PercentEncoding.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <glib.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// How long the daemon may take to say its address, and to end.
constexpr int StartMilliseconds = 10000;
constexpr int EndMilliseconds = 2000;

// A path in a D-Bus address: every byte but [-0-9A-Za-z_/.*] as %XX. The
// result needs no escaping in XML either.
std::string AddressEscaped(const std::string& path)
{
    return PercentEncode(path, [](unsigned char c) {
        return g_ascii_isalnum(c) || c == '-' || c == '_' || c == '/' || c == '.' || c == '*';
    });
}

// A bus for this user's own processes: no services to activate, no
// policy beyond the daemon's default (only the same user may connect).
std::string Configuration(const std::string& socket)
{
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>session</type>\n"
           "  <listen>unix:path="
        + AddressEscaped(socket)
        + "</listen>\n"
          "  <auth>EXTERNAL</auth>\n"
          "  <policy context=\"default\">\n"
          "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
          "    <allow eavesdrop=\"true\"/>\n"
          "    <allow own=\"*\"/>\n"
          "  </policy>\n"
          "</busconfig>\n";
}

bool WriteNew(const std::string& path, const std::string& text)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    if (!written)
        ::unlink(path.c_str());
    return written;
}

// Runs in the daemon between fork and exec: it gets SIGTERM when the thread
// that started it ends, the player's main thread, however the player ends.
void DieWithParent(gpointer parent)
{
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != *static_cast<pid_t*>(parent))
        ::_exit(1);
}

// Ends a child, asking first; waits for it.
void End(pid_t child)
{
    ::kill(child, SIGTERM);
    for (int waited = 0; waited < EndMilliseconds; waited += 10) {
        pid_t ended = ::waitpid(child, nullptr, WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR))
            return;
        g_usleep(10 * 1000);
    }
    ::kill(child, SIGKILL);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) { }
}

bool IsSocket(const std::string& path)
{
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

} // namespace

CSessionBus* CSessionBus::Ours()
{
    static CSessionBus* s_ours = []() -> CSessionBus* {
        if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
            return nullptr;
        // GLib's own fallback when the variable is not set.
        if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
            if (IsSocket(std::string(runtime) + "/bus"))
                return nullptr;
        }
        // Ends with the process, as static objects do.
        static CSessionBus s_bus;
        if (!s_bus.Start())
            return nullptr;
        g_setenv("DBUS_SESSION_BUS_ADDRESS", s_bus.m_address.c_str(), TRUE);
        return &s_bus;
    }();
    return s_ours;
}

void CSessionBus::EnsureForWebProcesses()
{
    Ours();
}

bool CSessionBus::IsOurs()
{
    return Ours() != nullptr;
}

bool CSessionBus::Start()
{
    gchar* program = g_find_program_in_path("dbus-daemon");
    if (!program)
        return false;
    std::string daemon = program;
    g_free(program);

    // The socket's folder: the user's runtime folder, else the temporary
    // one. The name is this process's and a random number's; the
    // configuration lies beside it until the daemon has read it.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat status;
    std::string folder = runtime && *runtime && ::stat(runtime, &status) == 0 && S_ISDIR(status.st_mode)
        ? std::string(runtime)
        : std::string(g_get_tmp_dir());
    char name[64];
    std::snprintf(name, sizeof name, "/quorvel-bus-%ld-%08x", long(::getpid()), unsigned(g_random_int()));
    std::string socket = folder + name;
    std::string config = socket + ".conf";
    if (!WriteNew(config, Configuration(socket)))
        return false;

    std::string configArgument = "--config-file=" + config;
    char* argv[] = { daemon.data(), const_cast<char*>("--nofork"), const_cast<char*>("--nopidfile"),
        const_cast<char*>("--nosyslog"), configArgument.data(), const_cast<char*>("--print-address=1"),
        nullptr };
    pid_t self = ::getpid();
    GPid child = -1;
    int output = -1;
    GError* error = nullptr;
    bool spawned = g_spawn_async_with_pipes(nullptr, argv, nullptr,
        GSpawnFlags(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDERR_TO_DEV_NULL), DieWithParent, &self, &child,
        nullptr, &output, nullptr, &error);
    g_clear_error(&error);
    if (!spawned) {
        ::unlink(config.c_str());
        return false;
    }

    // The daemon prints its address once it listens.
    std::string address;
    gint64 deadline = g_get_monotonic_time() + gint64(StartMilliseconds) * 1000;
    while (address.find('\n') == std::string::npos) {
        int left = int((deadline - g_get_monotonic_time()) / 1000);
        if (left <= 0)
            break;
        pollfd ready { output, POLLIN, 0 };
        int polled = ::poll(&ready, 1, left);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            break;
        char chunk[256];
        ssize_t got = ::read(output, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        address.append(chunk, size_t(got));
    }
    ::unlink(config.c_str());
    m_daemon = child;
    m_output = output;
    m_socket = socket;
    size_t end = address.find('\n');
    if (end == std::string::npos || end == 0) {
        Stop();
        return false;
    }
    m_address = address.substr(0, end);
    return true;
}

void CSessionBus::Stop()
{
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        address && !m_address.empty() && address == m_address)
        g_unsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (m_daemon > 0)
        End(m_daemon);
    if (m_output >= 0)
        ::close(m_output);
    if (!m_socket.empty())
        ::unlink(m_socket.c_str());
    m_daemon = -1;
    m_output = -1;
    m_socket.clear();
    m_address.clear();
}

CSessionBus::~CSessionBus()
{
    Stop();
}
