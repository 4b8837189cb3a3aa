#include "control/PercentEncoding.h"

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string PercentEncode(std::string_view text, bool (*keep)(unsigned char))
{
    static const char* const s_hex = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (unsigned char c : text) {
        if (keep(c)) {
            encoded += char(c);
        } else {
            encoded += '%';
            encoded += s_hex[c >> 4];
            encoded += s_hex[c & 15];
        }
    }
    return encoded;
}

std::optional<std::string> PercentDecode(std::string_view text, bool strict)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
            int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
            if (high >= 0 && low >= 0) {
                decoded += char(high << 4 | low);
                i += 2;
                continue;
            }
            if (strict)
                return std::nullopt;
        }
        decoded += text[i];
    }
    return decoded;
}
