#pragma once

#include <string>

// The lines quorvel-pack prints on standard error besides its usage: an
// error that ends the verb, a warning about work done in part, and a note
// about something worth knowing that changes nothing.
enum class MessageKind { error, warning, note };

// "error: TEXT", "warning: TEXT" or "note: TEXT" as one line on standard error.
void PrintMessage(MessageKind kind, const std::string& text);
