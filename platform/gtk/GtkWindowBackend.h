#pragma once

#include "platform/WindowBackend.h"

#include <map>
#include <memory>

typedef union _GdkEvent GdkEvent;
typedef struct _GdkPixbuf GdkPixbuf;
typedef struct _GMainLoop GMainLoop;
typedef struct _GtkWidget GtkWidget;
typedef struct _cairo cairo_t;

namespace platform {

// The window layer on GTK 3 (gtk_init must have succeeded). A top-level
// window is an undecorated GtkWindow holding a GtkFixed in which child
// controls sit at pixel positions; timers are GLib timeouts; input passes
// through a GDK event handler that offers button presses and Escape to
// PreTranslateMessage before GTK sees them.
//
// Its members are defined by concern: window life in GtkWindowBackend.cpp,
// placement in GtkWindowPlacement.cpp, painting and icons in
// GtkWindowPainting.cpp, timers in GtkTimers.cpp, measures in GtkMetrics.cpp,
// the popup menu in GtkPopupMenu.cpp and input in GtkInput.cpp.
class CGtkWindowBackend final : public IWindowBackend {
public:
    CGtkWindowBackend();
    ~CGtkWindowBackend() override;
    CGtkWindowBackend(const CGtkWindowBackend&) = delete;
    CGtkWindowBackend& operator=(const CGtkWindowBackend&) = delete;

    SIZE DialogBaseUnits(const CString& face, int points) override;
    HWND CreateTopLevel(CWnd* owner, SIZE size, DWORD style, DWORD exStyle) override;
    HWND AttachChild(CWnd* owner, HWND parent, void* widget, const RECT& rect, DWORD style) override;
    void DestroyWindow(HWND window) override;
    void RunModalLoop(HWND window) override;
    void EndModalLoop(HWND window) override;
    void SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) override;
    RECT GetWindowRect(HWND window) override;
    void ShowWindow(HWND window, int command) override;
    BOOL IsIconic(HWND window) override;
    void SetWindowText(HWND window, const CString& text) override;
    void SetIcon(HWND window, HICON icon, BOOL big) override;
    void Invalidate(HWND window) override;
    void SetBackgroundColor(HWND window, COLORREF colour) override;
    HDC BeginPaint(HWND window) override;
    void EndPaint(HWND window, HDC dc) override;
    void DrawIcon(HDC dc, int x, int y, HICON icon) override;
    UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse) override;
    BOOL KillTimer(HWND window, UINT_PTR id) override;
    int GetSystemMetrics(int index) override;
    POINT GetCursorPos() override;
    BOOL TrackPopupMenu(const CMenuData& menu, int x, int y, HWND owner) override;

    // One window: a top-level GtkWindow with its GtkFixed, or a child
    // control's widget inside its parent's GtkFixed.
    struct Window {
        CWnd* owner { nullptr };
        GtkWidget* widget { nullptr };
        GtkWidget* fixed { nullptr }; // top-level windows only
        HWND parent { nullptr };
        RECT rect {};
        bool iconic { false };
        bool fullscreen { false }; // asked of a Wayland compositor
        HICON icon { nullptr }; // the icon its images were made from
        bool ended { false };
        GMainLoop* loop { nullptr };
        cairo_t* paint { nullptr };
        COLORREF background { RGB(0, 0, 0) }; // top-level windows only
    };

private:
    static void HandleEvent(GdkEvent* event, void* self);
    // Fills the paint in progress with a top-level window's background.
    static void PaintBackground(cairo_t* cr, COLORREF colour);
    void Dispatch(GdkEvent* event);
    Window* Find(HWND window);
    GdkPixbuf* Pixbuf(HICON icon);
    void KillTimers(HWND window);

    std::map<HWND, std::unique_ptr<Window>> m_windows {};
    std::map<std::pair<HWND, UINT_PTR>, unsigned> m_timers {};
    std::map<HICON, GdkPixbuf*> m_pixbufs {};
    GdkEvent* m_currentEvent { nullptr };
};

} // namespace platform
