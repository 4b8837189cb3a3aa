#pragma once

#include "platform/Com.h"
#include "platform/RuntimeClass.h"
#include "platform/WindowTypes.h"

#include <span>
#include <vector>

class CWnd;

// Message-map handler forms: a command handler, and an event handler that
// takes the event's two strings.
using AFX_PMSG = void (CWnd::*)();
using AFX_PEVENT_BSTR2 = void (CWnd::*)(LPCSTR, LPCSTR);

// WM_COMMAND with `id` (notification 0) calls `handler`.
struct AFX_COMMAND_ENTRY {
    UINT id;
    AFX_PMSG handler;
};

// Event `dispid` of the control with id `controlId` calls `handler`.
struct AFX_EVENTSINK_ENTRY {
    UINT controlId;
    int dispid;
    AFX_PEVENT_BSTR2 handler;
};

// A derived class's handler as an entry of its map.
template<class T> AFX_PMSG CommandHandler(void (T::*handler)())
{
    return static_cast<AFX_PMSG>(handler);
}
template<class T> AFX_PEVENT_BSTR2 EventHandler(void (T::*handler)(LPCSTR, LPCSTR))
{
    return static_cast<AFX_PEVENT_BSTR2>(handler);
}

using DISPID = std::int32_t;
using VARTYPE = WORD;
constexpr WORD DISPATCH_METHOD = 1;
constexpr WORD DISPATCH_PROPERTYGET = 2;
constexpr WORD DISPATCH_PROPERTYPUT = 4;
constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_BSTR = 8;
// Parameter-type strings: one byte per parameter.
#define VTS_I4 "\x03"
#define VTS_BSTR "\x0E"
#define VTS_NONE ""

// A window, and when it hosts a control, the control's container. Messages
// reach a window through WindowProc, which routes them to the virtual
// handlers below and commands through the class's command map.
class CWnd : public CObject {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    const CRuntimeClass* GetRuntimeClass() const override { return &classCWnd; }
    static const CRuntimeClass classCWnd;

    // Plain windows are not made here; the subclasses that have windows
    // make them (CDialog from its template, controls through CreateControl).
    virtual BOOL Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
        UINT id, void* context = nullptr);
    // Makes the control of `clsid` and places its window in `parent` at
    // `rect` (the parent's client coordinates) as child `id`.
    BOOL CreateControl(const platform::CLSID& clsid, LPCSTR windowName, DWORD style, const RECT& rect,
        CWnd* parent, UINT id, void* persist = nullptr, BOOL storage = FALSE, LPCSTR licenseKey = nullptr);
    virtual BOOL DestroyWindow();

    HWND GetSafeHwnd() const { return m_hWnd; }
    CWnd* GetParent() const { return m_pParentWnd; }
    UINT GetDlgCtrlID() const { return m_nID; }
    DWORD GetStyle() const { return m_dwStyle; }
    static CWnd* FromHandlePermanent(HWND window);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    virtual BOOL PreTranslateMessage(MSG* msg);

    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    BOOL ShowWindow(int command);
    BOOL IsIconic() const;
    void SetWindowText(LPCSTR text);
    CString GetWindowText() const { return m_strText; }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    void GetClientRect(LPRECT rect) const;
    void GetWindowRect(LPRECT rect) const;
    void Invalidate(BOOL erase = TRUE);
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, void (*callback)(HWND, UINT, UINT_PTR, DWORD) = nullptr);
    BOOL KillTimer(UINT_PTR id);

    // Calls automation member `dispid` of the hosted control. `paramInfo` is
    // a VTS_ string; the arguments follow as long (VTS_I4) or LPCSTR
    // (VTS_BSTR). A VT_I4 result is written to *(long*)result. Throws
    // COleDispatchException (or COleException) when the call fails; without
    // a control nothing happens.
    void InvokeHelper(
        DISPID dispid, WORD flags, VARTYPE resultType, void* result, const BYTE* paramInfo, ...);
    QvControl* GetControl() const { return m_pControl; }

    // Insert-after values of SetWindowPos.
    static const CWnd wndTop;
    static const CWnd wndTopMost;
    static const CWnd wndNoTopMost;

    // Entry points for window-system backends. DeliverMessage hands a
    // message to the window's object; PreTranslateInput offers an input
    // message to PreTranslateMessage of the window and its parents up to the
    // main window and says whether one consumed it. Neither lets an
    // exception out: one that escapes a handler is reported on standard
    // error and the message counts as handled.
    static LRESULT DeliverMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static BOOL PreTranslateInput(MSG* msg);
    // A control's event, raised through its sink.
    static void DeliverEvent(void* context, int32_t dispid, const QvVariant* args, uint32_t argCount);

    HWND m_hWnd { nullptr };

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The message being handled, given to default processing.
    LRESULT Default();

    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual void OnPaint() { Default(); }
    virtual void OnTimer(UINT_PTR) { Default(); }
    virtual HCURSOR OnQueryDragIcon() { return nullptr; }
    virtual std::span<const AFX_COMMAND_ENTRY> GetCommandMap() const { return {}; }
    virtual std::span<const AFX_EVENTSINK_ENTRY> GetEventSinkMap() const { return {}; }
    // An event of child control `controlId`; TRUE when the event-sink map handled it.
    virtual BOOL OnEvent(UINT controlId, DISPID dispid, const QvVariant* args, uint32_t argCount);

    // Binds the object to `window` (and back) and to `parent`.
    void Attach(HWND window, CWnd* parent);
    // Forgets the window without destroying it.
    void Detach();

    CWnd* m_pParentWnd { nullptr };
    DWORD m_dwStyle { 0 };
    UINT m_nID { 0 };
    CString m_strText {};

private:
    explicit CWnd(HWND special)
        : m_hWnd(special)
    {
    }
    void ReleaseControl();

    QvControl* m_pControl { nullptr };
    std::vector<CWnd*> m_children {};
    MSG m_currentMsg {};
};
