#include "support/RecordingWindowBackend.h"

SIZE CRecordingWindowBackend::DialogBaseUnits(const CString&, int)
{
    return m_baseUnits;
}

HWND CRecordingWindowBackend::CreateTopLevel(CWnd* owner, SIZE size, DWORD style, DWORD exStyle)
{
    auto handle = reinterpret_cast<HWND>(m_nNextHandle++);
    Window& window = m_windows[handle];
    window.owner = owner;
    window.style = style;
    window.exStyle = exStyle;
    LONG x = (style & DS_CENTER) ? (m_screen.cx - size.cx) / 2 : 0;
    LONG y = (style & DS_CENTER) ? (m_screen.cy - size.cy) / 2 : 0;
    window.rect = { x, y, x + size.cx, y + size.cy };
    return handle;
}

HWND CRecordingWindowBackend::AttachChild(CWnd* owner, HWND parent, void*, const RECT& rect, DWORD style)
{
    auto handle = reinterpret_cast<HWND>(m_nNextHandle++);
    Window& window = m_windows[handle];
    window.owner = owner;
    window.parent = parent;
    window.rect = rect;
    window.style = style;
    window.visible = (style & WS_VISIBLE) != 0;
    return handle;
}

void CRecordingWindowBackend::DestroyWindow(HWND handle)
{
    if (Window* window = Find(handle)) {
        window->destroyed = true;
        window->visible = false;
        window->owner = nullptr;
    }
    std::erase_if(m_timers, [handle](const auto& timer) { return timer.first.first == handle; });
}

void CRecordingWindowBackend::RunModalLoop(HWND window)
{
    ++m_nModalLoops;
    if (m_modalDriver)
        m_modalDriver(window);
}

void CRecordingWindowBackend::EndModalLoop(HWND)
{
}

void CRecordingWindowBackend::SetWindowPos(
    HWND handle, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    Window* window = Find(handle);
    if (!window)
        return;
    if (insertAfter == HWND_TOPMOST)
        window->topmost = true;
    else if (insertAfter == HWND_NOTOPMOST)
        window->topmost = false;
    RECT& rect = window->rect;
    if (!(flags & SWP_NOMOVE)) {
        LONG width = rect.right - rect.left;
        LONG height = rect.bottom - rect.top;
        rect = { x, y, x + width, y + height };
    }
    if (!(flags & SWP_NOSIZE)) {
        rect.right = rect.left + cx;
        rect.bottom = rect.top + cy;
    }
    if ((flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE))
        window->placements.push_back(rect);
}

RECT CRecordingWindowBackend::GetWindowRect(HWND handle)
{
    Window* window = Find(handle);
    return window ? window->rect : RECT {};
}

void CRecordingWindowBackend::ShowWindow(HWND handle, int command)
{
    Window* window = Find(handle);
    if (!window)
        return;
    switch (command) {
    case SW_HIDE:
        window->visible = false;
        break;
    case SW_MINIMIZE:
        window->iconic = true;
        break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
        window->iconic = false;
        window->visible = true;
        break;
    default:
        window->visible = true;
        break;
    }
}

BOOL CRecordingWindowBackend::IsIconic(HWND handle)
{
    Window* window = Find(handle);
    return window && window->iconic;
}

void CRecordingWindowBackend::SetWindowText(HWND handle, const CString& text)
{
    if (Window* window = Find(handle))
        window->title = text;
}

void CRecordingWindowBackend::SetBackgroundColor(HWND handle, COLORREF colour)
{
    if (Window* window = Find(handle))
        window->background = colour;
}

void CRecordingWindowBackend::SetIcon(HWND handle, HICON icon, BOOL big)
{
    if (Window* window = Find(handle))
        (big ? window->bigIcon : window->smallIcon) = icon;
}

HDC CRecordingWindowBackend::BeginPaint(HWND window)
{
    return reinterpret_cast<HDC>(window);
}

void CRecordingWindowBackend::DrawIcon(HDC, int x, int y, HICON icon)
{
    m_drawnIcons.push_back({ x, y, icon });
}

UINT_PTR CRecordingWindowBackend::SetTimer(HWND window, UINT_PTR id, UINT elapse)
{
    if (!Find(window))
        return 0;
    m_timers[{ window, id }] = elapse;
    return id;
}

BOOL CRecordingWindowBackend::KillTimer(HWND window, UINT_PTR id)
{
    return m_timers.erase({ window, id }) ? TRUE : FALSE;
}

int CRecordingWindowBackend::GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN:
        return m_screen.cx;
    case SM_CYSCREEN:
        return m_screen.cy;
    case SM_CXICON:
        return m_icon.cx;
    case SM_CYICON:
        return m_icon.cy;
    default:
        return 0;
    }
}

BOOL CRecordingWindowBackend::TrackPopupMenu(const CMenuData& menu, int x, int y, HWND owner)
{
    Popup popup;
    for (const auto& item : menu.items)
        popup.items.push_back({ item.id, item.flags, item.text, nullptr });
    popup.at = { x, y };
    popup.owner = owner;
    m_popups.push_back(std::move(popup));
    return TRUE;
}

CRecordingWindowBackend::Window* CRecordingWindowBackend::Find(HWND handle)
{
    auto found = m_windows.find(handle);
    return found == m_windows.end() ? nullptr : &found->second;
}
