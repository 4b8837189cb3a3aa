#include "platform/Wnd.h"

#include "platform/Say.h"
#include "platform/Shell.h"
#include "platform/Timeline.h"
#include "platform/WinApp.h"
#include "platform/WindowBackend.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

using platform::GetWindowBackend;

const CRuntimeClass CWnd::classCWnd { "CWnd", sizeof(CWnd), 0xFFFF, nullptr, &CObject::classCObject };
const CWnd CWnd::wndTop { HWND_TOP };
const CWnd CWnd::wndTopMost { HWND_TOPMOST };
const CWnd CWnd::wndNoTopMost { HWND_NOTOPMOST };

namespace {

std::unordered_map<HWND, CWnd*>& HandleMap()
{
    static std::unordered_map<HWND, CWnd*> s_map;
    return s_map;
}

void ReportEscaped(const char* what)
{
    platform::Say("%s", what);
}

} // namespace

CWnd::~CWnd()
{
    // The special insert-after objects have handles that are not windows.
    if (this == &wndTop || this == &wndTopMost || this == &wndNoTopMost)
        return;
    DestroyWindow();
    ReleaseControl();
}

CWnd* CWnd::FromHandlePermanent(HWND window)
{
    auto found = HandleMap().find(window);
    return found == HandleMap().end() ? nullptr : found->second;
}

void CWnd::Attach(HWND window, CWnd* parent)
{
    m_hWnd = window;
    m_pParentWnd = parent;
    HandleMap()[window] = this;
    if (parent)
        parent->m_children.push_back(this);
}

void CWnd::Detach()
{
    if (m_hWnd)
        HandleMap().erase(m_hWnd);
    if (m_pParentWnd)
        std::erase(m_pParentWnd->m_children, this);
    m_hWnd = nullptr;
}

BOOL CWnd::Create(LPCSTR, LPCSTR, DWORD, const RECT&, CWnd*, UINT, void*)
{
    return FALSE;
}

BOOL CWnd::CreateControl(const platform::CLSID& clsid, LPCSTR windowName, DWORD style, const RECT& rect,
    CWnd* parent, UINT id, void*, BOOL, LPCSTR)
{
    if (m_hWnd || !parent || !parent->m_hWnd)
        return FALSE;
    // A registration this process started (a first run installing its
    // control) must have ended before the class is looked up.
    platform::WaitForPendingRegistrations();
    QvControl* control = nullptr;
    if (FAILED(platform::CoCreateInstance(clsid, &control)) || !control) {
        // The window still opens and ends normally; one line says why it is empty.
        platform::Say(
            "the Flash control cannot be created: %s", platform::DescribeLastCreateFailure().c_str());
        return FALSE;
    }
    platform::TimelineMark("control created");
    m_pControl = control;
    void* widget = control->vtbl->GetWidget ? control->vtbl->GetWidget(control) : nullptr;
    HWND window = GetWindowBackend().AttachChild(this, parent->m_hWnd, widget, rect, style | WS_CHILD);
    if (!window) {
        ReleaseControl();
        return FALSE;
    }
    m_dwStyle = style | WS_CHILD;
    m_nID = id;
    m_strText = windowName ? windowName : "";
    Attach(window, parent);
    if (control->vtbl->SetEventSink)
        control->vtbl->SetEventSink(control, &CWnd::DeliverEvent, this);
    return TRUE;
}

void CWnd::ReleaseControl()
{
    if (!m_pControl)
        return;
    QvControl* control = m_pControl;
    m_pControl = nullptr;
    if (control->vtbl->SetEventSink)
        control->vtbl->SetEventSink(control, nullptr, nullptr);
    control->vtbl->Release(control);
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    // Children go first, as their windows would with ours.
    while (!m_children.empty())
        m_children.back()->DestroyWindow();
    HWND window = m_hWnd;
    SendMessage(WM_DESTROY);
    Detach();
    m_pParentWnd = nullptr;
    GetWindowBackend().DestroyWindow(window);
    // A control lives as long as its window.
    ReleaseControl();
    return TRUE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG saved = m_currentMsg;
    m_currentMsg = { m_hWnd, message, wParam, lParam };
    struct Restore {
        MSG& target;
        MSG value;
        ~Restore() { target = value; }
    } restore { m_currentMsg, saved };
    return WindowProc(message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_currentMsg.message, m_currentMsg.wParam, m_currentMsg.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_TIMER:
        OnTimer(UINT_PTR(wParam));
        return 0;
    case WM_QUERYDRAGICON:
        return LRESULT(OnQueryDragIcon());
    default:
        break;
    }
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETICON:
        if (m_hWnd)
            GetWindowBackend().SetIcon(m_hWnd, reinterpret_cast<HICON>(lParam), wParam == ICON_BIG);
        return 0;
    default:
        return 0;
    }
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM)
{
    if (HIWORD(wParam) != 0)
        return FALSE;
    for (const AFX_COMMAND_ENTRY& entry : GetCommandMap()) {
        if (entry.id == LOWORD(wParam)) {
            (this->*entry.handler)();
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CWnd::OnEvent(UINT controlId, DISPID dispid, const QvVariant* args, uint32_t argCount)
{
    for (const AFX_EVENTSINK_ENTRY& entry : GetEventSinkMap()) {
        if (entry.controlId != controlId || entry.dispid != dispid)
            continue;
        // The handlers take two strings; an event that does not bring them
        // is not the one the map means.
        if (argCount != 2 || args[0].vt != QV_VT_BSTR || args[1].vt != QV_VT_BSTR)
            return FALSE;
        (this->*entry.handler)(args[0].strVal ? args[0].strVal : "", args[1].strVal ? args[1].strVal : "");
        return TRUE;
    }
    return FALSE;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    if (!m_hWnd)
        return FALSE;
    GetWindowBackend().SetWindowPos(
        m_hWnd, insertAfter ? insertAfter->m_hWnd : HWND_TOP, x, y, cx, cy, flags);
    return TRUE;
}

BOOL CWnd::ShowWindow(int command)
{
    if (!m_hWnd)
        return FALSE;
    BOOL wasVisible = (m_dwStyle & WS_VISIBLE) != 0;
    GetWindowBackend().ShowWindow(m_hWnd, command);
    if (command == SW_HIDE)
        m_dwStyle &= ~WS_VISIBLE;
    else
        m_dwStyle |= WS_VISIBLE;
    return wasVisible;
}

BOOL CWnd::IsIconic() const
{
    return m_hWnd && GetWindowBackend().IsIconic(m_hWnd);
}

void CWnd::SetWindowText(LPCSTR text)
{
    m_strText = text ? text : "";
    if (m_hWnd)
        GetWindowBackend().SetWindowText(m_hWnd, m_strText);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT)
{
    DWORD style = (m_dwStyle & ~remove) | add;
    if (style == m_dwStyle)
        return FALSE;
    m_dwStyle = style;
    return TRUE;
}

void CWnd::GetWindowRect(LPRECT rect) const
{
    if (rect)
        *rect = m_hWnd ? GetWindowBackend().GetWindowRect(m_hWnd) : RECT {};
}

void CWnd::GetClientRect(LPRECT rect) const
{
    // Our windows have no frame: the client area is the whole window.
    RECT window {};
    GetWindowRect(&window);
    if (rect)
        *rect = { 0, 0, window.right - window.left, window.bottom - window.top };
}

void CWnd::Invalidate(BOOL)
{
    if (m_hWnd)
        GetWindowBackend().Invalidate(m_hWnd);
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse, void (*)(HWND, UINT, UINT_PTR, DWORD))
{
    return m_hWnd ? GetWindowBackend().SetTimer(m_hWnd, id, elapse) : 0;
}

BOOL CWnd::KillTimer(UINT_PTR id)
{
    return m_hWnd ? GetWindowBackend().KillTimer(m_hWnd, id) : FALSE;
}

void CWnd::InvokeHelper(
    DISPID dispid, WORD flags, VARTYPE resultType, void* result, const BYTE* paramInfo, ...)
{
    if (!m_pControl)
        return;

    std::vector<QvVariant> args;
    va_list list;
    va_start(list, paramInfo);
    for (const BYTE* type = paramInfo; type && *type; ++type) {
        QvVariant arg {};
        if (*type == 0x03) {
            arg.vt = QV_VT_I4;
            arg.lVal = std::int32_t(va_arg(list, long));
        } else if (*type == 0x0E || *type == VT_BSTR) {
            arg.vt = QV_VT_BSTR;
            const char* text = va_arg(list, const char*);
            arg.strVal = text ? text : "";
        } else {
            va_end(list);
            throw COleException(DISP_E_TYPEMISMATCH);
        }
        args.push_back(arg);
    }
    va_end(list);

    QvVariant answer {};
    QvExcepInfo excep {};
    HRESULT hr = m_pControl->vtbl->Invoke(
        m_pControl, dispid, flags, args.data(), uint32_t(args.size()), &answer, &excep);
    // A string result is the module's to allocate and ours to free.
    CString text = answer.vt == QV_VT_BSTR && answer.strVal ? answer.strVal : "";
    if (answer.vt == QV_VT_BSTR)
        std::free(const_cast<char*>(answer.strVal));
    if (FAILED(hr)) {
        if (hr == DISP_E_EXCEPTION || excep.description[0]) {
            excep.description[sizeof excep.description - 1] = '\0';
            COleDispatchException e(excep.description, 0, 0);
            e.m_scError = excep.scode ? excep.scode : hr;
            throw e;
        }
        throw COleException(hr);
    }
    if (!result)
        return;
    if (resultType == VT_I4) {
        if (answer.vt != QV_VT_I4)
            throw COleException(DISP_E_TYPEMISMATCH);
        *static_cast<long*>(result) = answer.lVal;
    } else if (resultType == VT_BSTR) {
        *static_cast<CString*>(result) = text;
    }
}

LRESULT CWnd::DeliverMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* target = FromHandlePermanent(window);
    if (!target)
        return 0;
    try {
        return target->SendMessage(message, wParam, lParam);
    } catch (const std::exception& e) {
        ReportEscaped(e.what());
    }
    return 0;
}

BOOL CWnd::PreTranslateInput(MSG* msg)
{
    CWinApp* app = AfxGetApp();
    CWnd* mainWindow = app ? app->m_pMainWnd : nullptr;
    try {
        for (CWnd* window = FromHandlePermanent(msg->hwnd); window; window = window->GetParent()) {
            if (window->PreTranslateMessage(msg))
                return TRUE;
            if (window == mainWindow)
                break;
        }
    } catch (const std::exception& e) {
        ReportEscaped(e.what());
        return TRUE;
    }
    return FALSE;
}

void CWnd::DeliverEvent(void* context, int32_t dispid, const QvVariant* args, uint32_t argCount)
{
    auto* control = static_cast<CWnd*>(context);
    if (!control || !control->m_pParentWnd)
        return;
    try {
        control->m_pParentWnd->OnEvent(control->m_nID, dispid, args, argCount);
    } catch (const std::exception& e) {
        ReportEscaped(e.what());
    }
}
