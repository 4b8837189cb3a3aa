#include "platform/Shell.h"

#include "platform/ErrorCodes.h"
#include "platform/HostPath.h"
#include "platform/LastError.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::vector<pid_t>& PendingRegistrations()
{
    static std::vector<pid_t> s_pending;
    return s_pending;
}

std::string DataHome()
{
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        passwd* entry = getpwuid(getuid());
        home = entry ? entry->pw_dir : nullptr;
    }
    return home ? std::string(home) + "/.local/share" : std::string();
}

bool MakeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// What the registration tool does in its own process: load the module,
// call its entry point, tell the outcome through the exit status.
[[noreturn]] void RunRegistration(const std::string& path, bool unregister, bool silent)
{
    int status = 1;
    std::string module = ToHostPath(path.c_str()).value_or(path);
    if (void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        using EntryPoint = std::int32_t (*)();
        auto entry = reinterpret_cast<EntryPoint>(
            ::dlsym(handle, unregister ? "DllUnregisterServer" : "DllRegisterServer"));
        if (entry && entry() >= 0)
            status = 0;
        else if (!silent)
            std::fprintf(stderr, "regsvr32: %s: the module did not %s itself\n", module.c_str(),
                unregister ? "unregister" : "register");
    } else if (!silent) {
        std::fprintf(stderr, "regsvr32: %s\n", ::dlerror());
    }
    std::fflush(stderr);
    ::_exit(status);
}

} // namespace

UINT GetSystemDirectory(LPSTR buffer, UINT size)
{
    std::string home = DataHome();
    std::string folder = home.empty() ? std::string() : home + "/quorvel/system";
    if (folder.empty() || !MakeFolders(folder)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    if (!buffer || size <= folder.size())
        return UINT(folder.size() + 1);
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return UINT(folder.size());
}

std::intptr_t ShellExecute(void*, LPCSTR, LPCSTR file, LPCSTR parameters, LPCSTR, int)
{
    if (!file || std::strcmp(file, "regsvr32") != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return ERROR_FILE_NOT_FOUND;
    }
    // Switches come last; what stands before them is the module's path.
    std::string rest = parameters ? parameters : "";
    bool silent = false, unregister = false;
    for (;;) {
        while (!rest.empty() && rest.back() == ' ')
            rest.pop_back();
        if (rest.size() >= 3 && rest.compare(rest.size() - 3, 3, " /s") == 0) {
            silent = true;
            rest.resize(rest.size() - 3);
        } else if (rest.size() >= 3 && rest.compare(rest.size() - 3, 3, " /u") == 0) {
            unregister = true;
            rest.resize(rest.size() - 3);
        } else {
            break;
        }
    }
    if (rest.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return ERROR_FILE_NOT_FOUND;
    }
    std::fflush(nullptr);
    pid_t child = ::fork();
    if (child < 0) {
        SetLastErrorFromErrno(errno);
        return ERROR_GEN_FAILURE;
    }
    if (child == 0)
        RunRegistration(rest, unregister, silent);
    PendingRegistrations().push_back(child);
    return 42;
}

void WaitForPendingRegistrations()
{
    using namespace std::chrono;
    auto deadline = steady_clock::now() + seconds(10);
    auto& pending = PendingRegistrations();
    while (!pending.empty()) {
        pid_t pid = pending.back();
        int status = 0;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD)) {
            pending.pop_back();
            continue;
        }
        if (steady_clock::now() >= deadline) {
            // A registration that hangs is left to itself; the lookup goes on.
            pending.clear();
            break;
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
}

} // namespace platform
