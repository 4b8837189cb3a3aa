#pragma once

#include <string>

// Opens a link the link policy let through, on any desktop, without
// waiting: first with GIO's default handler for its scheme (or, for a file,
// its type), as the user's settings choose it; where GIO has none or it
// fails, with `xdg-open` from PATH, run without a shell with the URI as its
// one argument. Where neither opens it, one line on stderr names `link` (as
// the movie wrote it) and says that no program is set up to open such
// links. `hideSessionBus`: the handler is not given the session bus of this
// process (a private one that ends with the player).
void OpenLinkOnDesktop(const std::string& uri, const std::string& link, bool hideSessionBus);
