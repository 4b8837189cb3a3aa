#pragma once

namespace platform {

// What a run does once the connection to its display is gone. It is called
// on the GUI thread, in the middle of the toolkit's event handling, and must
// not return: the toolkit cannot go on without its display.
using DisplayLostHandler = void (*)();

// Sends the loss of the display to `handler`, on either of GDK's desktops
// (gtk_init must have succeeded; call once):
// - X11: Xlib's IO error handler, set over GDK's (found with dlsym, since
//   the program does not link libX11 itself);
// - Wayland: GDK 3 ends the process with _exit(1) as soon as it has logged
//   one of its lost-connection messages (gdk/wayland/gdkeventsource.c), so
//   the log writer is where the run gets in first.
void CatchDisplayLoss(DisplayLostHandler handler);

} // namespace platform
