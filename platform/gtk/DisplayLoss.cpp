#include "platform/gtk/DisplayLoss.h"

#include <cstring>
#include <dlfcn.h>
#include <glib.h>
#include <string_view>

// Xlib's display, as its IO error handler takes it.
struct _XDisplay;

namespace platform {

namespace {

DisplayLostHandler s_handler = nullptr;

int OnXConnectionLost(_XDisplay*)
{
    s_handler();
    return 0;
}

std::string_view FieldText(const GLogField& field)
{
    if (!field.value)
        return {};
    const char* text = static_cast<const char*>(field.value);
    return field.length < 0 ? std::string_view(text) : std::string_view(text, size_t(field.length));
}

// GDK 3's Wayland event source logs one message before each of its
// _exit(1) calls, and no other: "Error flushing display: ...", "Error
// reading events from display: ...", "Error N (...) dispatching to Wayland
// display." and "Lost connection to Wayland compositor.". GDK logs with the
// structured API, so the entry names that source file; a GDK built with the
// older API gives only the text, which is matched as well.
bool IsWaylandConnectionLost(GLogLevelFlags level, const GLogField* fields, gsize count)
{
    if (!(level & G_LOG_LEVEL_MESSAGE))
        return false;
    std::string_view domain;
    std::string_view file;
    std::string_view message;
    for (gsize i = 0; i < count; ++i) {
        if (std::strcmp(fields[i].key, "GLIB_DOMAIN") == 0)
            domain = FieldText(fields[i]);
        else if (std::strcmp(fields[i].key, "CODE_FILE") == 0)
            file = FieldText(fields[i]);
        else if (std::strcmp(fields[i].key, "MESSAGE") == 0)
            message = FieldText(fields[i]);
    }
    if (domain != "Gdk")
        return false;
    if (file.ends_with("wayland/gdkeventsource.c"))
        return true;
    return message.starts_with("Error flushing display: ")
        || message.starts_with("Error reading events from display: ")
        || (message.starts_with("Error ") && message.ends_with(" dispatching to Wayland display."))
        || message == "Lost connection to Wayland compositor.";
}

// Everything is written as GLib would; GDK's last word on a lost
// compositor, with its reason, is followed by the run's own end instead of
// GDK's.
GLogWriterOutput WriteLogEntry(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer)
{
    GLogWriterOutput written = g_log_writer_default(level, fields, count, nullptr);
    if (IsWaylandConnectionLost(level, fields, count))
        s_handler();
    return written;
}

} // namespace

void CatchDisplayLoss(DisplayLostHandler handler)
{
    s_handler = handler;
    using XHandler = int (*)(_XDisplay*);
    using XSetter = XHandler (*)(XHandler);
    if (auto set = reinterpret_cast<XSetter>(::dlsym(RTLD_DEFAULT, "XSetIOErrorHandler")))
        set(&OnXConnectionLost);
    g_log_set_writer_func(&WriteLogEntry, nullptr, nullptr);
}

} // namespace platform
