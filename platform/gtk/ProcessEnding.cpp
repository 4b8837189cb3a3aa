#include "platform/gtk/ProcessEnding.h"

#include <glib-object.h>

namespace platform {

namespace {

// Kept on a type of GLib's own, which every module of the process shares
// (its quarks are looked up by name, so every copy of this code finds it).
GQuark EndingKey()
{
    return g_quark_from_string("quorvel-process-ending");
}

} // namespace

void MarkProcessEnding()
{
    g_type_set_qdata(G_TYPE_OBJECT, EndingKey(), GINT_TO_POINTER(1));
}

bool ProcessEnding()
{
    return g_type_get_qdata(G_TYPE_OBJECT, EndingKey()) != nullptr;
}

} // namespace platform
