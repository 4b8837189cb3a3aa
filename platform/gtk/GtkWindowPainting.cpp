// Painting the GTK backend's windows: the draw signal's cairo context as the
// device context, and icons, decoded once each, for windows and for drawing.

#include "platform/gtk/GtkWindowBackend.h"

#include "platform/Icon.h"
#include "platform/pixbuf/IconImages.h"

#include <gtk/gtk.h>

namespace platform {

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

void CGtkWindowBackend::SetBackgroundColor(HWND handle, COLORREF colour)
{
    Window* window = Find(handle);
    if (!window || !window->fixed || window->background == colour)
        return;
    window->background = colour;
    gtk_widget_queue_draw(window->widget);
}

void CGtkWindowBackend::PaintBackground(cairo_t* cr, COLORREF colour)
{
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgb(cr, GetRValue(colour) / 255.0, GetGValue(colour) / 255.0, GetBValue(colour) / 255.0);
    cairo_paint(cr);
    cairo_restore(cr);
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

} // namespace platform
