// The GTK backend's measures: the dialog base units of a font and the
// screen's size (the primary monitor's) and the icon size.

#include "platform/gtk/GtkWindowBackend.h"

#include <gtk/gtk.h>

namespace platform {

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

} // namespace platform
