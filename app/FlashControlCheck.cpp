#include "app/FlashControlCheck.h"

#include "app/Workspace.h"
#include "platform/Com.h"
#include "platform/Shell.h"

using namespace platform;

namespace {

constexpr DWORD ControlResourceId = 1091;
constexpr int ShowHidden = 0;

// The installed control's version, or nothing when no control can be made
// or it cannot tell.
std::optional<int32_t> InstalledVersion()
{
    std::optional<int32_t> version;
    auto clsid = CLSIDFromString(FlashControlClassId);
    CoInitialize(nullptr);
    QvControl* control = nullptr;
    if (clsid && CoCreateInstance(*clsid, &control) >= 0 && control) {
        int32_t value = 0;
        if (control->vtbl->FlashVersion(control, &value) >= 0)
            version = value;
        control->vtbl->Release(control);
    }
    CoUninitialize();
    return version;
}

CString TrimBlanks(const CString& text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == CString::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

void EnsureFlashControl(HMODULE module)
{
    std::optional<int32_t> version = InstalledVersion();
    if (version && (*version >> 16) == 8)
        return;
    if (!FindResource(module, MAKEINTRESOURCE(ControlResourceId), "OCX"))
        return;

    char folder[MAX_PATH] = {};
    GetSystemDirectory(folder, MAX_PATH);
    CString target = TrimBlanks(folder) + "\\flash8.ocx";
    WriteResourceToFile(int(ControlResourceId), "OCX", target.c_str(), module);
    ShellExecute(nullptr, "run", "regsvr32", (target + " /s").c_str(), nullptr, ShowHidden);
}
