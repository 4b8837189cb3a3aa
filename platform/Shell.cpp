#include "platform/Shell.h"

#include "platform/DataFolder.h"
#include "platform/ErrorCodes.h"
#include "platform/HostPath.h"
#include "platform/LastError.h"
#include "platform/ModuleCheck.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <spawn.h>
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

constexpr char RegisterSwitch[] = "--register-control";

CString& RegistrationProgram()
{
    static CString s_program = "/proc/self/exe";
    return s_program;
}

// Makes every missing folder of `path`; false with the last error of the
// step that failed.
bool MakeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            SetLastErrorFromErrno(errno, part.c_str());
            return false;
        }
        if (slash == std::string::npos)
            break;
    }
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0) {
        SetLastErrorFromErrno(errno, path.c_str());
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return true;
}

// What the registration tool does in its own process: check and load the
// module, call its entry point, tell the outcome through the exit status.
int RunRegistration(const std::string& path, bool unregister, bool silent)
{
    int status = 1;
    std::string module = ToHostPath(path.c_str()).value_or(path);
    if (CString problem = CheckLoadableModule(module); !problem.empty()) {
        if (!silent)
            std::fprintf(stderr, "regsvr32: %s\n", problem.c_str());
    } else if (void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL)) {
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
    return status;
}

} // namespace

CString GetSystemDirectoryName()
{
    CString data = UserDataFolder();
    return data.empty() ? CString() : data + "/quorvel/system";
}

UINT GetSystemDirectory(LPSTR buffer, UINT size)
{
    std::string folder = GetSystemDirectoryName();
    if (folder.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    if (!MakeFolders(folder))
        return 0;
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
    // posix_spawn, not fork: this process may already run threads (GTK's,
    // the web engine's), and a forked copy of it may do next to nothing
    // safely before exec.
    std::string program = RegistrationProgram();
    std::vector<std::string> words = { program, RegisterSwitch, rest };
    if (silent)
        words.push_back("/s");
    if (unregister)
        words.push_back("/u");
    std::vector<char*> arguments;
    for (auto& word : words)
        arguments.push_back(word.data());
    arguments.push_back(nullptr);
    std::fflush(nullptr);
    pid_t child = 0;
    int error = ::posix_spawn(&child, program.c_str(), nullptr, nullptr, arguments.data(), environ);
    if (error != 0) {
        SetLastErrorFromErrno(error);
        return ERROR_GEN_FAILURE;
    }
    PendingRegistrations().push_back(child);
    return 42;
}

void SetRegistrationProgram(const CString& program)
{
    RegistrationProgram() = program.empty() ? CString("/proc/self/exe") : program;
}

int RunRegistrationTool(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], RegisterSwitch) != 0)
        return -1;
    if (argc < 3 || !*argv[2])
        return 2;
    bool silent = false, unregister = false;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "/s") == 0)
            silent = true;
        else if (std::strcmp(argv[i], "/u") == 0)
            unregister = true;
        else
            return 2;
    }
    return RunRegistration(argv[2], unregister, silent);
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
