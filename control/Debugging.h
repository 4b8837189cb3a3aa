#pragma once

// QUORVEL_CONTROL_DEBUG is set (and not "0"): the engine's console, the
// page's key and focus events and the names not found in the package go to
// stderr.
bool ControlDebugging();
