#include "tools/pack/DesktopEntry.h"

namespace {

// A value of type string or localestring: backslash, line breaks and tabs
// escaped, and a leading blank kept.
std::string EscapeValue(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c == ' ' && i == 0)
            out += "\\s";
        else
            out += c;
    }
    return out;
}

// The program's path as one quoted argument of an Exec key, before the
// string escaping of the value.
std::string QuoteArgument(const std::string& path)
{
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        if (c == '%')
            out += '%';
        out += c;
    }
    return out + "\"";
}

} // namespace

std::string DesktopEntryText(const DesktopEntry& entry)
{
    for (unsigned char c : entry.exec) {
        if (c < 0x20 || c == 0x7F)
            return {};
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.4\n"
           "Name="
        + EscapeValue(entry.name) + "\nExec=" + EscapeValue(QuoteArgument(entry.exec))
        + "\nIcon=" + EscapeValue(entry.icon) + "\nStartupWMClass=" + EscapeValue(entry.windowClass)
        + "\nTerminal=false\n";
}
