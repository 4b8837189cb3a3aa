// A control module for tests of the control check: it reports the major
// version it was built with (QUORVEL_TEST_CONTROL_VERSION) and can register
// itself, but has no window. Never installed or shipped.

#include "platform/Com.h"
#include "platform/FlashControlAbi.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace {

struct CVersionControl : QvControl {
    static void Release(QvControl* self) { delete static_cast<CVersionControl*>(self); }
    static int32_t FlashVersion(QvControl*, int32_t* version)
    {
        *version = int32_t(QUORVEL_TEST_CONTROL_VERSION) << 16 | 0x2A;
        return 0;
    }
    static int32_t Invoke(QvControl*, int32_t, uint16_t, const QvVariant*, uint32_t, QvVariant*, QvExcepInfo*)
    {
        return QV_DISP_E_MEMBERNOTFOUND;
    }
    static void* GetWidget(QvControl*) { return nullptr; }
    static void SetEventSink(QvControl*, QvEventSink, void*) { }
};

const QvControlVtbl s_vtbl
    = { QV_CONTROL_ABI_VERSION, &CVersionControl::Release, &CVersionControl::FlashVersion,
          &CVersionControl::Invoke, &CVersionControl::GetWidget, &CVersionControl::SetEventSink };

} // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t DllGetClassObject(
    const char* clsid, uint32_t, QvControl** control)
{
    if (!clsid || std::strcmp(clsid, QV_FLASH_CLSID) != 0)
        return QV_CLASS_E_CLASSNOTAVAILABLE;
    auto* object = new CVersionControl();
    object->vtbl = &s_vtbl;
    *control = object;
    return 0;
}

__attribute__((visibility("default"))) int32_t DllRegisterServer()
{
    Dl_info info {};
    char path[PATH_MAX];
    if (!dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) || !realpath(info.dli_fname, path))
        return -1;
    return platform::RegisterClassModule(*platform::CLSIDFromString(QV_FLASH_CLSID), path) ? 0 : -1;
}
}
