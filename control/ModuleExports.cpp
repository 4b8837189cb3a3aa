// The functions every control module exports: making objects, and
// recording itself in (or removing itself from) the class registry.

#include "control/FlashControl.h"
#include "control/PreparedView.h"
#include "platform/Com.h"
#include "platform/FlashControlAbi.h"
#include "platform/Timeline.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <utility>

namespace {

constexpr int32_t SelfRegError = int32_t(0x80040201); // SELFREG_E_CLASS
constexpr int32_t SFalse = 1;

// The absolute path of this module's own file.
CString ModulePath()
{
    Dl_info info {};
    if (!dladdr(reinterpret_cast<void*>(&ModulePath), &info) || !info.dli_fname)
        return {};
    char resolved[PATH_MAX];
    return realpath(info.dli_fname, resolved) ? CString(resolved) : CString(info.dli_fname);
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t DllGetClassObject(
    const char* clsid, uint32_t abiVersion, QvControl** control)
{
    if (!control)
        return QV_E_NOINTERFACE;
    *control = nullptr;
    if (!clsid || std::strcmp(clsid, QV_FLASH_CLSID) != 0)
        return QV_CLASS_E_CLASSNOTAVAILABLE;
    if (abiVersion != QV_CONTROL_ABI_VERSION)
        return QV_E_NOINTERFACE;
    static bool s_bMarked = false;
    if (!std::exchange(s_bMarked, true))
        platform::TimelineMark("control module loaded");
    *control = new CFlashControl();
    return 0;
}

__attribute__((visibility("default"))) int32_t DllRegisterServer()
{
    auto clsid = platform::CLSIDFromString(QV_FLASH_CLSID);
    CString path = ModulePath();
    if (!clsid || path.empty() || !platform::RegisterClassModule(*clsid, path))
        return SelfRegError;
    return 0;
}

__attribute__((visibility("default"))) int32_t DllUnregisterServer()
{
    auto clsid = platform::CLSIDFromString(QV_FLASH_CLSID);
    if (!clsid)
        return SelfRegError;
    // Only our own entry is removed: another module registered since stays.
    if (platform::LookupClassModule(*clsid) != ModulePath())
        return 0;
    return platform::RegisterClassModule(*clsid, "") ? 0 : SelfRegError;
}

__attribute__((visibility("default"))) int32_t DllCanUnloadNow()
{
    return CFlashControl::LiveObjects() == 0 && !CPreparedView::Waiting() ? 0 : SFalse;
}
}
