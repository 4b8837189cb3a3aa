// The life of the GTK backend's windows: top-level windows and the child
// controls placed in them, their destruction and their modal loops.

#include "platform/gtk/GtkWindowBackend.h"
#include "platform/gtk/GtkWindowHandle.h"

#include "platform/Wnd.h"

#include <algorithm>
#include <gtk/gtk.h>

namespace platform {

HWND HandleOf(GtkWidget* widget)
{
    for (; widget; widget = gtk_widget_get_parent(widget)) {
        if (void* handle = g_object_get_data(G_OBJECT(widget), WindowKey))
            return static_cast<HWND>(handle);
    }
    return nullptr;
}

CGtkWindowBackend::CGtkWindowBackend()
{
    gdk_event_handler_set(&CGtkWindowBackend::HandleEvent, this, nullptr);
}

CGtkWindowBackend::~CGtkWindowBackend()
{
    gdk_event_handler_set(
        +[](GdkEvent* event, gpointer) { gtk_main_do_event(event); }, nullptr, nullptr);
    for (auto& [icon, pixbuf] : m_pixbufs) {
        if (pixbuf)
            g_object_unref(pixbuf);
    }
}

CGtkWindowBackend::Window* CGtkWindowBackend::Find(HWND window)
{
    auto found = m_windows.find(window);
    return found == m_windows.end() ? nullptr : found->second.get();
}

HWND CGtkWindowBackend::CreateTopLevel(CWnd* owner, SIZE size, DWORD style, DWORD exStyle)
{
    auto window = std::make_unique<Window>();
    HWND handle = reinterpret_cast<HWND>(window.get());
    window->owner = owner;

    GtkWidget* widget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    window->widget = widget;
    g_object_ref_sink(widget);
    g_object_set_data(G_OBJECT(widget), WindowKey, handle);
    gtk_window_set_decorated(GTK_WINDOW(widget), FALSE);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(widget), (exStyle & WS_EX_APPWINDOW) == 0);
    gtk_window_set_resizable(GTK_WINDOW(widget), TRUE);
    gtk_window_set_gravity(GTK_WINDOW(widget), GDK_GRAVITY_NORTH_WEST);
    // The window paints its own background (its colour, black until the
    // owner gives one), never the theme's: until the controls in it draw,
    // the person sees that colour and not the desktop's grey.
    gtk_widget_set_app_paintable(widget, TRUE);

    window->fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(widget), window->fixed);
    gtk_widget_show(window->fixed);

    LONG cx = std::max<LONG>(size.cx, 1);
    LONG cy = std::max<LONG>(size.cy, 1);
    LONG x = 0;
    LONG y = 0;
    if (style & DS_CENTER) {
        x = (GetSystemMetrics(SM_CXSCREEN) - cx) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - cy) / 2;
    }
    window->rect = { x, y, x + size.cx, y + size.cy };
    gtk_window_set_default_size(GTK_WINDOW(widget), cx, cy);
    gtk_window_move(GTK_WINDOW(widget), x, y);

    // A close request from the window manager becomes WM_CLOSE.
    g_signal_connect(widget, "delete-event",
        G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer data) -> gboolean {
            CWnd::DeliverMessage(static_cast<HWND>(data), WM_CLOSE, 0, 0);
            return TRUE;
        }),
        handle);
    g_signal_connect(widget, "window-state-event",
        G_CALLBACK(+[](GtkWidget*, GdkEventWindowState* event, gpointer data) -> gboolean {
            static_cast<Window*>(data)->iconic = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
            return FALSE;
        }),
        window.get());
    g_signal_connect(widget, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer data) -> gboolean {
        auto* self = static_cast<Window*>(data);
        PaintBackground(cr, self->background);
        self->paint = cr;
        CWnd::DeliverMessage(reinterpret_cast<HWND>(self), WM_PAINT, 0, 0);
        self->paint = nullptr;
        return FALSE;
    }),
        window.get());

    m_windows[handle] = std::move(window);
    return handle;
}

HWND CGtkWindowBackend::AttachChild(
    CWnd* owner, HWND parentHandle, void* nativeWidget, const RECT& rect, DWORD style)
{
    Window* parent = Find(parentHandle);
    if (!parent || !parent->fixed)
        return nullptr;
    auto window = std::make_unique<Window>();
    HWND handle = reinterpret_cast<HWND>(window.get());
    window->owner = owner;
    window->parent = parentHandle;
    window->rect = rect;
    // A control without a window of its own still gets a place that takes input.
    GtkWidget* widget = nativeWidget ? GTK_WIDGET(nativeWidget) : gtk_event_box_new();
    window->widget = widget;
    g_object_ref_sink(widget);
    g_object_set_data(G_OBJECT(widget), WindowKey, handle);
    gtk_widget_set_size_request(
        widget, std::max<LONG>(rect.right - rect.left, 1), std::max<LONG>(rect.bottom - rect.top, 1));
    gtk_fixed_put(GTK_FIXED(parent->fixed), widget, rect.left, rect.top);
    gtk_widget_set_can_focus(widget, TRUE);
    if (style & WS_VISIBLE)
        gtk_widget_show(widget);
    m_windows[handle] = std::move(window);
    return handle;
}

void CGtkWindowBackend::DestroyWindow(HWND handle)
{
    Window* window = Find(handle);
    if (!window)
        return;
    KillTimers(handle);
    if (window->loop)
        g_main_loop_quit(window->loop);
    g_object_set_data(G_OBJECT(window->widget), WindowKey, nullptr);
    if (Window* parent = Find(window->parent)) {
        // The control's module keeps its own reference to its widget.
        if (gtk_widget_get_parent(window->widget) == parent->fixed)
            gtk_container_remove(GTK_CONTAINER(parent->fixed), window->widget);
    } else {
        gtk_widget_destroy(window->widget);
    }
    g_object_unref(window->widget);
    m_windows.erase(handle);
}

void CGtkWindowBackend::RunModalLoop(HWND handle)
{
    Window* window = Find(handle);
    if (!window || window->ended)
        return;
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    window->loop = loop;
    g_main_loop_run(loop);
    if (Window* still = Find(handle))
        still->loop = nullptr;
    g_main_loop_unref(loop);
}

void CGtkWindowBackend::EndModalLoop(HWND handle)
{
    Window* window = Find(handle);
    if (!window)
        return;
    window->ended = true;
    if (window->loop)
        g_main_loop_quit(window->loop);
}

} // namespace platform
