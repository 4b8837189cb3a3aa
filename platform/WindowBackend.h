#pragma once

#include "platform/MenuData.h"
#include "platform/WindowTypes.h"

class CWnd;

namespace platform {

// What the window classes need of a window system. The classes keep the
// program's view (styles, parents, message routing); a backend keeps the
// native windows and delivers their input, timers and paints back through
// CWnd::DeliverMessage and CWnd::PreTranslateInput.
class IWindowBackend {
public:
    virtual ~IWindowBackend() = default;

    // Average character width and height of a font, for dialog units.
    virtual SIZE DialogBaseUnits(const CString& face, int points) = 0;

    // A top-level window of `size` for `owner`: undecorated; with a taskbar
    // entry when `exStyle` has WS_EX_APPWINDOW; centred on the primary
    // monitor when `style` has DS_CENTER. Not shown yet.
    virtual HWND CreateTopLevel(CWnd* owner, SIZE size, DWORD style, DWORD exStyle) = 0;
    // Places a control's native widget (a GtkWidget* for the GTK backend,
    // ignored by others) in `parent` at `rect`, as the window of `owner`.
    virtual HWND AttachChild(CWnd* owner, HWND parent, void* widget, const RECT& rect, DWORD style) = 0;
    virtual void DestroyWindow(HWND window) = 0;

    // Runs the window system's events until EndModalLoop for `window`.
    virtual void RunModalLoop(HWND window) = 0;
    virtual void EndModalLoop(HWND window) = 0;

    // Position and size in screen pixels (for a child: in its parent).
    // `insertAfter` HWND_TOPMOST/HWND_NOTOPMOST keeps the window above others or not.
    virtual void SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) = 0;
    virtual RECT GetWindowRect(HWND window) = 0;
    virtual void ShowWindow(HWND window, int command) = 0;
    virtual BOOL IsIconic(HWND window) = 0;
    virtual void SetWindowText(HWND window, const CString& text) = 0;
    virtual void SetIcon(HWND window, HICON icon, BOOL big) = 0;
    virtual void Invalidate(HWND window) = 0;
    // What a top-level window's background is erased with before anything
    // in it paints, as its class's background brush would be: black until
    // set. The window system's own colour never shows.
    virtual void SetBackgroundColor(HWND window, COLORREF colour) = 0;

    // The drawing surface of the paint in progress for `window` (null
    // outside one), and drawing on it.
    virtual HDC BeginPaint(HWND window) = 0;
    virtual void EndPaint(HWND window, HDC dc) = 0;
    virtual void DrawIcon(HDC dc, int x, int y, HICON icon) = 0;

    // Delivers WM_TIMER with `id` to the window every `elapse` ms.
    virtual UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse) = 0;
    virtual BOOL KillTimer(HWND window, UINT_PTR id) = 0;

    virtual int GetSystemMetrics(int index) = 0;
    virtual POINT GetCursorPos() = 0;

    // Shows `menu` at the screen point; a chosen item is delivered to
    // `owner` as WM_COMMAND. Grayed items and separators cannot be chosen.
    virtual BOOL TrackPopupMenu(const CMenuData& menu, int x, int y, HWND owner) = 0;
};

// The backend the window classes use: the do-nothing CNullWindowBackend until
// another is installed.
IWindowBackend& GetWindowBackend();
// Installs `backend` (null: the do-nothing one again) and returns the one it
// replaces. The caller keeps ownership.
IWindowBackend* SetWindowBackend(IWindowBackend* backend);

} // namespace platform
