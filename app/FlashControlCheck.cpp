#include "app/FlashControlCheck.h"

#include "app/MissingEngine.h"
#include "app/Workspace.h"
#include "platform/Com.h"
#include "platform/ErrorCodes.h"
#include "platform/FlashControlAbi.h"
#include "platform/FormatMessage.h"
#include "platform/LastError.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "res/ResourceIds.h"

#include <dlfcn.h>

using namespace platform;

namespace {

constexpr int ShowHidden = 0;

// Asks the control to start its movie engine now, for the player's control
// made after unpacking. A control that does not know how is left as it is.
void PrepareEngine(QvControl* control)
{
    QvExcepInfo excep {};
    control->vtbl->Invoke(control, QV_DISPID_PREPARE_ENGINE, QV_DISPATCH_METHOD, nullptr, 0, nullptr, &excep);
}

// The installed control's version, or nothing when no control can be made
// or it cannot tell. A registered module that could not be loaded leaves
// what the user is to be told in `missing` when a library it needs is absent.
// A control of the wanted version is asked to prepare its engine.
std::optional<int32_t> InstalledVersion(CString& missing)
{
    std::optional<int32_t> version;
    auto clsid = CLSIDFromString(QV_FLASH_CLSID);
    CoInitialize(nullptr);
    QvControl* control = nullptr;
    HRESULT result = clsid ? CoCreateInstance(*clsid, &control) : REGDB_E_CLASSNOTREG;
    if (result >= 0 && control) {
        int32_t value = 0;
        if (control->vtbl->FlashVersion(control, &value) >= 0)
            version = value;
        if (version && (*version >> 16) == QV_FLASH_MAJOR_VERSION)
            PrepareEngine(control);
        control->vtbl->Release(control);
    } else if (result == CO_E_DLLNOTFOUND) {
        missing = DescribeMissingLibrary(DescribeLastCreateFailure(), LookupClassModule(*clsid));
    }
    CoUninitialize();
    return version;
}

// The one message of a control that cannot run here; false when there is one.
bool ReportMissingLibrary(const CString& text)
{
    if (text.empty())
        return true;
    AfxMessageBox(text.c_str(), MB_OK, 0);
    return false;
}

CString TrimBlanks(const CString& text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == CString::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The system's text for `code`, on one line.
CString ReasonText(DWORD code)
{
    CString reason = WithoutLineBreak(SystemMessageText(code));
    return reason.empty() ? CString("error " + std::to_string(code)) : reason;
}

// The one message of a data folder that cannot take the control. The run
// goes on: a control that is registered already may still play.
void ReportUnusableFolder(const CString& folder, DWORD code)
{
    CString where = folder.empty() ? CString("the user's data folder (there is no home folder)") : folder;
    CString text = "The Flash control cannot be installed in " + where + ": " + ReasonText(code);
    AfxMessageBox(text.c_str(), MB_OK, 0);
}

} // namespace

bool EnsureFlashControl(HMODULE module)
{
    CString missing;
    std::optional<int32_t> version = InstalledVersion(missing);
    if (version && (*version >> 16) == QV_FLASH_MAJOR_VERSION)
        return true;
    // The library is missing for any control, the carried one as well.
    if (!missing.empty() || !FindResource(module, MAKEINTRESOURCE(IDR_FLASH_CONTROL), RT_FLASH_CONTROL))
        return ReportMissingLibrary(missing);

    // Without a system folder there is nowhere to put the control: the
    // bare file name would land wherever the path happened to lead.
    char folder[MAX_PATH] = {};
    UINT length = GetSystemDirectory(folder, MAX_PATH);
    CString trimmed = length > 0 && length < MAX_PATH ? TrimBlanks(folder) : CString();
    if (trimmed.empty()) {
        DWORD code = length >= MAX_PATH ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        ReportUnusableFolder(GetSystemDirectoryName(), code);
        return true;
    }
    CString target = trimmed + "\\flash8.ocx";
    // A control that is not all there is never registered: the registration
    // would load it.
    if (!WriteResourceToFile(IDR_FLASH_CONTROL, RT_FLASH_CONTROL, target.c_str(), module)) {
        ReportUnusableFolder(trimmed, GetLastError());
        return true;
    }
    // Loaded here, as the window will load it: a library it needs that is
    // missing is told once, instead of a registration that fails unseen and
    // a window that stays blank. A module that cannot be loaded for a fault
    // of its own goes on to its registration as before.
    if (!ReportMissingLibrary(DescribeMissingLibrary(LoadClassModule(target), target)))
        return false;
    ShellExecute(nullptr, "run", "regsvr32", (target + " /s").c_str(), nullptr, ShowHidden);
    return true;
}

bool EnsureFlashControlFrom(const CString& modulePath)
{
    CString missing;
    std::optional<int32_t> version = InstalledVersion(missing);
    if (version && (*version >> 16) == QV_FLASH_MAJOR_VERSION)
        return true;
    if (!missing.empty() || modulePath.empty())
        return ReportMissingLibrary(missing);
    void* handle = nullptr;
    if (CString problem = LoadClassModule(modulePath, &handle); !problem.empty())
        return ReportMissingLibrary(DescribeMissingLibrary(problem, modulePath));
    auto create = reinterpret_cast<QvGetClassObjectFn>(::dlsym(handle, "DllGetClassObject"));
    auto clsid = CLSIDFromString(QV_FLASH_CLSID);
    if (create && clsid) {
        RegisterInProcessClass(*clsid, create);
        // Asked for its version as the registered one is, which starts its engine.
        CString ignored;
        InstalledVersion(ignored);
    }
    return true;
}
