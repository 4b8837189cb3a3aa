#pragma once

// QUORVEL_CONTROL_DEBUG is set (and not "0"): the engine's console, the
// page's key and focus events and messages, the control's commands, the
// files the engine asked for and the names not found in the package are
// written out. To stderr, or, when the variable names a file by its full
// path, appended to that file, a line each with the player's process id
// (for runs whose stderr is checked, such as the end-to-end tests).
bool ControlDebugging();

// One such line, made from `format` as printf makes it; nothing when not
// debugging.
void DebugSay(const char* format, ...) __attribute__((format(printf, 1, 2)));
