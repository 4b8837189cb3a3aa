// Input on the GTK backend: the pointer's place on the screen, and the GDK
// event handler that offers button presses and Escape to PreTranslateMessage
// before GTK sees them.

#include "platform/gtk/GtkWindowBackend.h"
#include "platform/gtk/GtkWindowHandle.h"

#include "platform/Wnd.h"

#include <gtk/gtk.h>

namespace platform {

POINT CGtkWindowBackend::GetCursorPos()
{
    GdkDisplay* display = gdk_display_get_default();
    GdkSeat* seat = display ? gdk_display_get_default_seat(display) : nullptr;
    GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
    if (!pointer)
        return {};
    int x = 0;
    int y = 0;
    gdk_device_get_position(pointer, nullptr, &x, &y);
    return { x, y };
}

void CGtkWindowBackend::HandleEvent(GdkEvent* event, void* self)
{
    static_cast<CGtkWindowBackend*>(self)->Dispatch(event);
}

void CGtkWindowBackend::Dispatch(GdkEvent* event)
{
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    if (event->type == GDK_BUTTON_PRESS && (event->button.button == 1 || event->button.button == 3)) {
        message = event->button.button == 1 ? WM_LBUTTONDOWN : WM_RBUTTONDOWN;
        wParam = event->button.button == 1 ? 0x0001 : 0x0002; // MK_LBUTTON, MK_RBUTTON
        lParam = MAKELPARAM(int(event->button.x), int(event->button.y));
    } else if (event->type == GDK_KEY_PRESS && event->key.keyval == GDK_KEY_Escape) {
        message = WM_KEYDOWN;
        wParam = VK_ESCAPE;
        lParam = 1;
    }

    if (message) {
        GtkWidget* widget = gtk_get_event_widget(event);
        // Keys go to the window with the keyboard focus, as they would be addressed there.
        if (message == WM_KEYDOWN && widget) {
            GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
            if (GTK_IS_WINDOW(toplevel)) {
                if (GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(toplevel)))
                    widget = focus;
            }
        }
        if (HWND target = HandleOf(widget)) {
            MSG msg { target, message, wParam, lParam };
            GdkEvent* saved = m_currentEvent;
            m_currentEvent = event;
            BOOL consumed = CWnd::PreTranslateInput(&msg);
            m_currentEvent = saved;
            if (consumed)
                return;
        }
    }
    gtk_main_do_event(event);
}

} // namespace platform
