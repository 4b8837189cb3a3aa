#pragma once

#include "platform/ControlAbi.h"
#include "platform/OleException.h"
#include "platform/Types.h"

#include <array>
#include <optional>

// The part of COM that the player uses: a per-user class registry mapping
// class ids to control modules, and creation of a control from it.
namespace platform {

struct GUID {
    DWORD Data1 { 0 };
    WORD Data2 { 0 };
    WORD Data3 { 0 };
    std::array<BYTE, 8> Data4 {};
    bool operator==(const GUID&) const = default;
};
using CLSID = GUID;

// The text form: braced, upper-case hexadecimal ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}").
CString StringFromCLSID(const CLSID& clsid);
// The text form, braces optional, any case; nothing when it is not one.
std::optional<CLSID> CLSIDFromString(const CString& text);

// Counted; COM needs no set-up here otherwise.
HRESULT CoInitialize(void* reserved = nullptr);
void CoUninitialize();
int GetCoInitializeCount();

// ${XDG_DATA_HOME:-~/.local/share}/quorvel/classes.ini
CString GetClassRegistryPath();
// The module registered for `clsid`, empty when there is none.
CString LookupClassModule(const CLSID& clsid);
// Records (or, with an empty path, removes) the module of `clsid`. The file
// is replaced as a whole, so readers never see half of it. False when it
// cannot be written.
bool RegisterClassModule(const CLSID& clsid, const CString& modulePath);

// Makes `create` the maker of `clsid` in this process, ahead of the
// registry (null: back to the registry). For tests that host a control
// written in the test itself.
void RegisterInProcessClass(const CLSID& clsid, QvGetClassObjectFn create);

// Makes a control of class `clsid`: from an in-process maker, or by loading
// the registered module and calling its DllGetClassObject. Modules stay
// loaded for the rest of the run. REGDB_E_CLASSNOTREG when the class is
// unknown, CO_E_DLLNOTFOUND when its module cannot be loaded.
HRESULT CoCreateInstance(const CLSID& clsid, QvControl** control);

// Loads the control module at `path` for the rest of the run, as
// CoCreateInstance does: a damaged file is refused before dlopen sees it.
// Empty when it is loaded (`handle`, when given, set); otherwise why not, in
// words: the module's own fault, or the loader's, which names a library the
// module needs that could not be loaded ("libx.so.1: cannot open shared
// object file: ...").
CString LoadClassModule(const CString& path, void** handle = nullptr);

// Why the last CoCreateInstance of this thread failed, in words (empty after
// a success): the unregistered class, or what kept its module from loading.
CString DescribeLastCreateFailure();

} // namespace platform
