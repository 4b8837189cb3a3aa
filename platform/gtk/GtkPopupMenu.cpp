// The GTK backend's popup menu: built from the menu's data, placed at a point
// of the screen and tracked to its end before the chosen command is delivered.

#include "platform/gtk/GtkWindowBackend.h"

#include "platform/Wnd.h"

#include <gtk/gtk.h>

namespace platform {

namespace {

struct PopupState {
    GMainLoop* loop { nullptr };
    UINT chosen { 0 };
};

} // namespace

BOOL CGtkWindowBackend::TrackPopupMenu(const CMenuData& data, int x, int y, HWND ownerHandle)
{
    Window* owner = Find(ownerHandle);
    if (!owner || !owner->fixed)
        return FALSE;

    PopupState state;
    GtkWidget* menu = gtk_menu_new();
    g_object_ref_sink(menu);
    for (const auto& item : data.items) {
        GtkWidget* entry = nullptr;
        if (item.flags & MF_SEPARATOR) {
            entry = gtk_separator_menu_item_new();
        } else {
            entry = gtk_menu_item_new_with_label(item.text.c_str());
            gtk_widget_set_sensitive(entry, (item.flags & MF_GRAYED) == 0);
            g_object_set_data(G_OBJECT(entry), "quorvel-command", GUINT_TO_POINTER(item.id));
            g_signal_connect(entry, "activate", G_CALLBACK(+[](GtkMenuItem* chosen, gpointer data) {
                static_cast<PopupState*>(data)->chosen
                    = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(chosen), "quorvel-command"));
            }),
                &state);
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), entry);
        gtk_widget_show(entry);
    }
    g_signal_connect(menu, "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer data) {
        auto* popup = static_cast<PopupState*>(data);
        if (popup->loop)
            g_main_loop_quit(popup->loop);
    }),
        &state);

    // The point is on the screen; the menu is placed against the owner's window.
    GdkWindow* anchor = gtk_widget_get_window(owner->widget);
    if (!anchor) {
        g_object_unref(menu);
        return FALSE;
    }
    int originX = 0;
    int originY = 0;
    gdk_window_get_origin(anchor, &originX, &originY);
    GdkRectangle at { x - originX, y - originY, 1, 1 };
    gtk_menu_popup_at_rect(
        GTK_MENU(menu), anchor, &at, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST, m_currentEvent);

    // Like the system's menu, this one is tracked to the end before the
    // caller goes on; the command arrives once the menu has closed.
    if (gtk_widget_get_visible(menu)) {
        state.loop = g_main_loop_new(nullptr, FALSE);
        g_main_loop_run(state.loop);
        g_main_loop_unref(state.loop);
        state.loop = nullptr;
    }
    gtk_widget_destroy(menu);
    g_object_unref(menu);

    if (state.chosen && Find(ownerHandle))
        CWnd::DeliverMessage(ownerHandle, WM_COMMAND, state.chosen, 0);
    return TRUE;
}

} // namespace platform
