#pragma once

#include "platform/FlashControlAbi.h"
#include "platform/Wnd.h"

#include <type_traits>

// The Flash control as a child window, driven by automation. The control
// is an outside component found through the class registry; this wrapper
// knows the members of the control's list (platform/FlashControlMembers.def);
// their numbers, and the class id, are the control's contract
// (platform/FlashControlAbi.h).
class CShockwaveFlash : public CWnd {
private:
    // A value as the automation helper passes it: a number as long, text
    // as LPCSTR; and the helper's type bytes (VTS_I4, VTS_BSTR).
    template<typename T> using HostType = std::conditional_t<std::is_same_v<T, QvI4>, long, LPCSTR>;
    template<typename... T> struct ParamInfo {
        static constexpr BYTE bytes[] = { (std::is_same_v<T, QvI4> ? BYTE(0x03) : BYTE(0x0E))..., 0 };
    };

    template<typename... P, typename... A> void CallMethod(DISPID id, void (*)(P...), A... arguments)
    {
        InvokeHelper(
            id, DISPATCH_METHOD, VT_EMPTY, nullptr, ParamInfo<P...>::bytes, HostType<P>(arguments)...);
    }

public:
    CShockwaveFlash() = default;

    static const platform::CLSID clsid; // QV_FLASH_CLSID
    static const CRuntimeClass classCShockwaveFlash;
    static CObject* CreateObject();
    const CRuntimeClass* GetRuntimeClass() const override { return &classCShockwaveFlash; }

    // Makes the control as child `id` of `parent` at `rect`; the class name
    // and the context are not used.
    BOOL Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
        void* context = nullptr) override;

    // Left and right button presses and Escape are also sent to the parent.
    BOOL PreTranslateMessage(MSG* msg) override;

    // The control's members (platform/FlashControlMembers.def): GetX and
    // SetX for a property X, X(...) for a method. Each raises the
    // automation error the control answers; our control's own members
    // raise that of a control that does not know them.
#define QV_FLASH_WRAP_GET(name, id, type)                                                                    \
    long Get##name()                                                                                         \
    {                                                                                                        \
        static_assert(std::is_same_v<type, QvI4>, "the automation helper reads numbers only");               \
        long result = 0;                                                                                     \
        InvokeHelper(id, DISPATCH_PROPERTYGET, VT_I4, &result, nullptr);                                     \
        return result;                                                                                       \
    }
#define QV_FLASH_WRAP_PUT(name, id, type)                                                                    \
    void Set##name(HostType<type> value)                                                                     \
    {                                                                                                        \
        InvokeHelper(id, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, ParamInfo<type>::bytes, value);            \
    }
#define QV_FLASH_WRAP_GET_PUT(name, id, type)                                                                \
    QV_FLASH_WRAP_GET(name, id, type) QV_FLASH_WRAP_PUT(name, id, type)
#define QV_FLASH_PROPERTY(name, id, number, type, access) QV_FLASH_WRAP_##access(name, id, type)
// clang-format off
#define QV_FLASH_METHOD(name, id, number, params)                                                            \
    template<typename... A>                                                                                  \
        requires std::is_invocable_v<void(*) params, A...>                                                   \
    void name(A... arguments)                                                                                \
    {                                                                                                        \
        CallMethod(id, static_cast<void(*) params>(nullptr), arguments...);                                  \
    }
// clang-format on
#include "platform/FlashControlMembers.def"
#undef QV_FLASH_WRAP_GET
#undef QV_FLASH_WRAP_PUT
#undef QV_FLASH_WRAP_GET_PUT

    // The automation members, by dispatch id.
    enum : DISPID {
#define QV_FLASH_PROPERTY(name, id, number, type, access) dispid##name = id,
#define QV_FLASH_METHOD(name, id, number, params) dispid##name = id,
#include "platform/FlashControlMembers.def"
        dispidFSCommand = QV_DISPID_FSCOMMAND, // the event
    };
};
