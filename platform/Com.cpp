#include "platform/Com.h"

#include "platform/DataFolder.h"
#include "platform/HostPath.h"
#include "platform/ModuleCheck.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace platform {

namespace {

int s_nInitializeCount = 0;

std::map<CString, QvGetClassObjectFn>& InProcessClasses()
{
    static std::map<CString, QvGetClassObjectFn> s_classes;
    return s_classes;
}

constexpr char RegistrySection[] = "[CLSID]";

// The registry's entries: class id text to module path.
std::map<CString, CString> ReadRegistry(const CString& path)
{
    std::map<CString, CString> entries;
    std::ifstream in(path);
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.starts_with("[")) {
            inSection = line == RegistrySection;
            continue;
        }
        size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos)
            continue;
        if (auto clsid = CLSIDFromString(line.substr(0, equals)))
            entries.emplace(StringFromCLSID(*clsid), line.substr(equals + 1));
    }
    return entries;
}

} // namespace

CString StringFromCLSID(const CLSID& clsid)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
        unsigned(clsid.Data1), unsigned(clsid.Data2), unsigned(clsid.Data3), clsid.Data4[0], clsid.Data4[1],
        clsid.Data4[2], clsid.Data4[3], clsid.Data4[4], clsid.Data4[5], clsid.Data4[6], clsid.Data4[7]);
    return text;
}

std::optional<CLSID> CLSIDFromString(const CString& input)
{
    std::string_view text = input;
    if (text.size() == 38 && text.front() == '{' && text.back() == '}')
        text = text.substr(1, 36);
    if (text.size() != 36)
        return std::nullopt;
    std::string digits;
    for (size_t i = 0; i < text.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash != (text[i] == '-'))
            return std::nullopt;
        if (!dash) {
            if (!std::isxdigit(static_cast<unsigned char>(text[i])))
                return std::nullopt;
            digits += text[i];
        }
    }
    auto hex = [&](size_t at, size_t count) { return std::stoul(digits.substr(at, count), nullptr, 16); };
    CLSID clsid;
    clsid.Data1 = DWORD(hex(0, 8));
    clsid.Data2 = WORD(hex(8, 4));
    clsid.Data3 = WORD(hex(12, 4));
    for (size_t i = 0; i < 8; ++i)
        clsid.Data4[i] = BYTE(hex(16 + 2 * i, 2));
    return clsid;
}

HRESULT CoInitialize(void*)
{
    ++s_nInitializeCount;
    return s_nInitializeCount == 1 ? S_OK : 1; // S_FALSE: already initialised
}

void CoUninitialize()
{
    if (s_nInitializeCount > 0)
        --s_nInitializeCount;
}

int GetCoInitializeCount()
{
    return s_nInitializeCount;
}

CString GetClassRegistryPath()
{
    // Without a data folder there is no registry: never one at the root.
    CString base = UserDataFolder();
    return base.empty() ? CString() : base + "/quorvel/classes.ini";
}

CString LookupClassModule(const CLSID& clsid)
{
    CString path = GetClassRegistryPath();
    if (path.empty())
        return {};
    auto entries = ReadRegistry(path);
    auto found = entries.find(StringFromCLSID(clsid));
    return found == entries.end() ? CString {} : found->second;
}

bool RegisterClassModule(const CLSID& clsid, const CString& modulePath)
{
    namespace fs = std::filesystem;
    CString path = GetClassRegistryPath();
    if (path.empty())
        return false;
    auto entries = ReadRegistry(path);
    if (modulePath.empty())
        entries.erase(StringFromCLSID(clsid));
    else
        entries[StringFromCLSID(clsid)] = modulePath;

    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    // A name of this process alone (O_EXCL), so that registrations running
    // at the same time never write into each other's copy.
    CString pattern = path + ".XXXXXX";
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    CString temporary = pattern;
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << RegistrySection << "\n";
        for (const auto& [id, module] : entries)
            out << id << "=" << module << "\n";
        if (!out.flush()) {
            fs::remove(temporary, error);
            return false;
        }
    }
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

void RegisterInProcessClass(const CLSID& clsid, QvGetClassObjectFn create)
{
    if (create)
        InProcessClasses()[StringFromCLSID(clsid)] = create;
    else
        InProcessClasses().erase(StringFromCLSID(clsid));
}

namespace {
thread_local CString t_lastCreateProblem;
}

CString LoadClassModule(const CString& path, void** handle)
{
    // A damaged file is never handed to dlopen: one cut short would kill
    // the process when its missing pages are touched.
    if (CString problem = CheckLoadableModule(path); !problem.empty())
        return problem;
    // Modules register GTK types and the like, which cannot be undone: a
    // module once loaded stays for the run.
    std::string host = ToHostPath(path.c_str()).value_or(path);
    void* loaded = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!loaded) {
        // dlerror names what is missing: the module itself, or a library it
        // needs, such as the web engine.
        const char* problem = dlerror();
        return problem ? CString(problem) : path + ": cannot be loaded";
    }
    if (handle)
        *handle = loaded;
    return {};
}

CString DescribeLastCreateFailure()
{
    return t_lastCreateProblem;
}

HRESULT CoCreateInstance(const CLSID& clsid, QvControl** control)
{
    if (!control)
        return E_UNEXPECTED;
    *control = nullptr;
    CString id = StringFromCLSID(clsid);
    t_lastCreateProblem.clear();

    QvGetClassObjectFn create = nullptr;
    if (auto found = InProcessClasses().find(id); found != InProcessClasses().end()) {
        create = found->second;
    } else {
        CString module = LookupClassModule(clsid);
        if (module.empty()) {
            t_lastCreateProblem = "no control of class " + id + " is registered in " + GetClassRegistryPath();
            return REGDB_E_CLASSNOTREG;
        }
        void* handle = nullptr;
        if (CString problem = LoadClassModule(module, &handle); !problem.empty()) {
            t_lastCreateProblem = problem;
            return CO_E_DLLNOTFOUND;
        }
        create = reinterpret_cast<QvGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
        if (!create) {
            t_lastCreateProblem = module + ": not a control module (no DllGetClassObject)";
            return CO_E_DLLNOTFOUND;
        }
    }

    HRESULT result = create(id.c_str(), QV_CONTROL_ABI_VERSION, control);
    if (FAILED(result)) {
        *control = nullptr;
        t_lastCreateProblem = "the control module refused to make a control of class " + id;
        return result;
    }
    if (!*control)
        return E_NOINTERFACE;
    return S_OK;
}

} // namespace platform
