// Where the GTK backend's windows are, how big, whether they show, and their
// titles. On Wayland, placing a window is asked of the compositor.

#include "platform/gtk/GtkWindowBackend.h"

#include <algorithm>
#include <gtk/gtk.h>

namespace platform {

namespace {

// GDK's Wayland backend, without its header (which needs Wayland's own).
bool IsWaylandDisplay()
{
    GdkDisplay* display = gdk_display_get_default();
    return display && g_str_equal(G_OBJECT_TYPE_NAME(display), "GdkWaylandDisplay");
}

} // namespace

void CGtkWindowBackend::SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    Window* window = Find(handle);
    if (!window)
        return;
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
    LONG width = std::max<LONG>(rect.right - rect.left, 1);
    LONG height = std::max<LONG>(rect.bottom - rect.top, 1);

    if (window->fixed) {
        GtkWindow* gtkWindow = GTK_WINDOW(window->widget);
        if (insertAfter == HWND_TOPMOST)
            gtk_window_set_keep_above(gtkWindow, TRUE);
        else if (insertAfter == HWND_NOTOPMOST)
            gtk_window_set_keep_above(gtkWindow, FALSE);
        // A Wayland client cannot place its window: covering the screen
        // from its origin is asked of the compositor as full screen, and
        // any other place leaves full screen again. A windowed size is the
        // window's least and greatest, so that a tiling compositor floats
        // the window at that size rather than giving it a tile; full
        // screen takes whatever size the compositor gives.
        if (IsWaylandDisplay() && !(flags & SWP_NOSIZE)) {
            bool covers = rect.left == 0 && rect.top == 0 && width == GetSystemMetrics(SM_CXSCREEN)
                && height == GetSystemMetrics(SM_CYSCREEN);
            GdkGeometry hints {};
            hints.min_width = hints.max_width = int(width);
            hints.min_height = hints.max_height = int(height);
            gtk_window_set_geometry_hints(gtkWindow, nullptr, &hints,
                covers ? GdkWindowHints(0) : GdkWindowHints(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE));
            if (covers && !gtk_widget_get_mapped(window->widget)) {
                gtk_window_fullscreen(gtkWindow);
            } else if (covers) {
                g_idle_add_full(
                    G_PRIORITY_LOW,
                    +[](gpointer data) -> gboolean {
                        gtk_window_fullscreen(GTK_WINDOW(data));
                        return G_SOURCE_REMOVE;
                    },
                    g_object_ref(gtkWindow), g_object_unref);
            } else if (window->fullscreen) {
                gtk_window_unfullscreen(gtkWindow);
            }
            window->fullscreen = covers;
        }
        if (!(flags & SWP_NOMOVE))
            gtk_window_move(gtkWindow, rect.left, rect.top);
        if (!(flags & SWP_NOSIZE)) {
            gtk_window_set_default_size(gtkWindow, width, height);
            gtk_window_resize(gtkWindow, width, height);
        }
    } else if (Window* parent = Find(window->parent)) {
        if (!(flags & SWP_NOMOVE))
            gtk_fixed_move(GTK_FIXED(parent->fixed), window->widget, rect.left, rect.top);
        if (!(flags & SWP_NOSIZE))
            gtk_widget_set_size_request(window->widget, width, height);
    }
}

RECT CGtkWindowBackend::GetWindowRect(HWND handle)
{
    Window* window = Find(handle);
    return window ? window->rect : RECT {};
}

void CGtkWindowBackend::ShowWindow(HWND handle, int command)
{
    Window* window = Find(handle);
    if (!window)
        return;
    switch (command) {
    case SW_HIDE:
        gtk_widget_hide(window->widget);
        break;
    case SW_MINIMIZE:
        if (window->fixed)
            gtk_window_iconify(GTK_WINDOW(window->widget));
        break;
    case SW_RESTORE:
        if (window->fixed)
            gtk_window_deiconify(GTK_WINDOW(window->widget));
        gtk_widget_show(window->widget);
        break;
    default:
        if (window->fixed && !gtk_widget_get_visible(window->widget)) {
            gtk_widget_show(window->widget);
            gtk_window_present(GTK_WINDOW(window->widget));
        } else {
            gtk_widget_show(window->widget);
        }
        break;
    }
}

BOOL CGtkWindowBackend::IsIconic(HWND handle)
{
    Window* window = Find(handle);
    return window && window->iconic;
}

void CGtkWindowBackend::SetWindowText(HWND handle, const CString& text)
{
    Window* window = Find(handle);
    if (window && window->fixed)
        gtk_window_set_title(GTK_WINDOW(window->widget), text.c_str());
}

} // namespace platform
