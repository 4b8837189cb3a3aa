#include "platform/gtk/GtkWindowBackend.h"

#include "platform/Icon.h"
#include "platform/Wnd.h"
#include "platform/pixbuf/IconImages.h"

#include <algorithm>
#include <gtk/gtk.h>

namespace platform {

namespace {

constexpr char WindowKey[] = "quorvel-hwnd";

HWND HandleOf(GtkWidget* widget)
{
    for (; widget; widget = gtk_widget_get_parent(widget)) {
        if (void* handle = g_object_get_data(G_OBJECT(widget), WindowKey))
            return static_cast<HWND>(handle);
    }
    return nullptr;
}

struct TimerTarget {
    HWND window;
    UINT_PTR id;
};

// GDK's Wayland backend, without its header (which needs Wayland's own).
bool IsWaylandDisplay()
{
    GdkDisplay* display = gdk_display_get_default();
    return display && g_str_equal(G_OBJECT_TYPE_NAME(display), "GdkWaylandDisplay");
}

struct PopupState {
    GMainLoop* loop { nullptr };
    UINT chosen { 0 };
};

} // namespace

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

SIZE CGtkWindowBackend::DialogBaseUnits(const CString& face, int points)
{
    // As the system does it: the average width of the 52 Latin letters,
    // halved and rounded, and the font's line height.
    PangoContext* context = gdk_pango_context_get();
    PangoLayout* layout = pango_layout_new(context);
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, face.empty() ? "Sans" : face.c_str());
    pango_font_description_set_size(font, (points > 0 ? points : 8) * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", -1);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    pango_font_description_free(font);
    g_object_unref(layout);
    g_object_unref(context);
    return { (width / 26 + 1) / 2, height };
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
    gtk_widget_set_app_paintable(widget, FALSE);

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
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->first.first == handle) {
            g_source_remove(it->second);
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
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

GdkPixbuf* CGtkWindowBackend::Pixbuf(HICON icon)
{
    if (!icon)
        return nullptr;
    auto found = m_pixbufs.find(icon);
    if (found != m_pixbufs.end())
        return found->second;
    std::string error;
    GdkPixbuf* pixbuf = DecodePng(icon->image, error).release();
    m_pixbufs[icon] = pixbuf;
    return pixbuf;
}

void CGtkWindowBackend::SetIcon(HWND handle, HICON icon, BOOL)
{
    // One list for big and small: the desktop picks the size it needs.
    // The window is given its icon twice, as big and as small: its images
    // are scaled once.
    Window* window = Find(handle);
    if (!window || !window->fixed || window->icon == icon)
        return;
    window->icon = icon;
    GdkPixbuf* image = Pixbuf(icon);
    GList* images = nullptr;
    for (int size : IconSizes) {
        if (size > MaxWindowIconSize || !image)
            break;
        if (PixbufPtr square = SquareIcon(image, size))
            images = g_list_append(images, square.release());
    }
    gtk_window_set_icon_list(GTK_WINDOW(window->widget), images);
    g_list_free_full(images, g_object_unref);
}

void CGtkWindowBackend::Invalidate(HWND handle)
{
    if (Window* window = Find(handle))
        gtk_widget_queue_draw(window->widget);
}

HDC CGtkWindowBackend::BeginPaint(HWND handle)
{
    Window* window = Find(handle);
    return window ? reinterpret_cast<HDC>(window->paint) : nullptr;
}

void CGtkWindowBackend::EndPaint(HWND, HDC)
{
}

void CGtkWindowBackend::DrawIcon(HDC dc, int x, int y, HICON icon)
{
    auto* cr = reinterpret_cast<cairo_t*>(dc);
    GdkPixbuf* pixbuf = Pixbuf(icon);
    if (!cr || !pixbuf)
        return;
    PixbufPtr square = SquareIcon(pixbuf, GetSystemMetrics(SM_CXICON));
    if (!square)
        return;
    cairo_save(cr);
    gdk_cairo_set_source_pixbuf(cr, square.get(), x, y);
    cairo_paint(cr);
    cairo_restore(cr);
}

UINT_PTR CGtkWindowBackend::SetTimer(HWND handle, UINT_PTR id, UINT elapse)
{
    if (!Find(handle))
        return 0;
    KillTimer(handle, id);
    auto* target = new TimerTarget { handle, id };
    unsigned source = g_timeout_add_full(
        G_PRIORITY_DEFAULT, elapse,
        +[](gpointer data) -> gboolean {
            auto* timer = static_cast<TimerTarget*>(data);
            CWnd::DeliverMessage(timer->window, WM_TIMER, timer->id, 0);
            return G_SOURCE_CONTINUE;
        },
        target, +[](gpointer data) { delete static_cast<TimerTarget*>(data); });
    m_timers[{ handle, id }] = source;
    return id;
}

BOOL CGtkWindowBackend::KillTimer(HWND handle, UINT_PTR id)
{
    auto found = m_timers.find({ handle, id });
    if (found == m_timers.end())
        return FALSE;
    g_source_remove(found->second);
    m_timers.erase(found);
    return TRUE;
}

int CGtkWindowBackend::GetSystemMetrics(int index)
{
    if (index == SM_CXICON || index == SM_CYICON)
        return 32;
    if (index != SM_CXSCREEN && index != SM_CYSCREEN)
        return 0;
    GdkDisplay* display = gdk_display_get_default();
    if (!display)
        return 0;
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (!monitor)
        monitor = gdk_display_get_monitor(display, 0);
    if (!monitor)
        return 0;
    GdkRectangle area;
    gdk_monitor_get_geometry(monitor, &area);
    return index == SM_CXSCREEN ? area.width : area.height;
}

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
