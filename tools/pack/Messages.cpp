#include "tools/pack/Messages.h"

#include <cstdio>

void PrintMessage(MessageKind kind, const std::string& text)
{
    const char* label = kind == MessageKind::error ? "error"
        : kind == MessageKind::warning             ? "warning"
                                                   : "note";
    std::fprintf(stderr, "%s: %s\n", label, text.c_str());
}
