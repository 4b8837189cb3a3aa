#pragma once

#include "platform/Types.h"

typedef struct _GtkWidget GtkWidget;

namespace platform {

// Every widget that is one of our windows carries its handle under this key.
inline constexpr char WindowKey[] = "quorvel-hwnd";

// The window `widget` belongs to: its own or that of the nearest ancestor
// that is one of ours; null when none is.
HWND HandleOf(GtkWidget* widget);

} // namespace platform
