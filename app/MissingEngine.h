#pragma once

#include "platform/Types.h"

// What the user is told when the Flash control cannot be loaded because a
// library it needs is missing or damaged: `problem` is the loader's account
// ("<library>: <reason>", as dlerror gives it) and `module` the control's
// path. The text names the library, what it is, and the package that
// brings it on Debian and Ubuntu and on Fedora where it is one of the
// engine's (WebKitGTK 4.1, its JavaScriptCore, libsoup, GStreamer). Empty
// when the problem is the module's own (damaged, not a control) rather
// than a library's.
CString DescribeMissingLibrary(const CString& problem, const CString& module);
