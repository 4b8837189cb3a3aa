#include "tools/pack/PackageId.h"

#include "platform/ProfileString.h"

#include <cstdio>
#include <sys/random.h>

namespace {

constexpr std::string_view Blanks = " \t";
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text)
{
    std::size_t first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? char(a[i] - 'a' + 'A') : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? char(b[i] - 'a' + 'A') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

// Where the settings' id and SETTINGS header are, read line by line as the
// player's profile reader reads them.
struct IdPlace {
    // Offsets into the text of the id's value (after '=', up to the line's
    // end without its CR) when there is an id.
    std::optional<std::size_t> valueBegin {};
    std::size_t valueEnd { 0 };
    // Offset just past the first SETTINGS header line (and its line end).
    std::optional<std::size_t> afterHeader {};
    // Whether that header line has a line end.
    bool headerEnded { false };
};

IdPlace FindIdPlace(const std::string& text)
{
    IdPlace place;
    std::size_t at = std::string_view(text).starts_with(ByteOrderMark) ? ByteOrderMark.size() : 0;
    bool inSection = false;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        std::size_t next = end == std::string::npos ? text.size() : end + 1;
        std::size_t lineEnd = end == std::string::npos ? text.size() : end;
        if (lineEnd > at && text[lineEnd - 1] == '\r')
            --lineEnd;
        std::string_view raw(text.data() + at, lineEnd - at);
        std::string_view line = Trim(raw);
        if (line.starts_with('[')) {
            std::size_t close = line.find(']');
            std::string_view name
                = Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
            inSection = SameNameIgnoringCase(name, "SETTINGS");
            if (inSection && !place.afterHeader) {
                place.afterHeader = next;
                place.headerEnded = end != std::string::npos;
            }
        } else if (inSection) {
            std::size_t equals = line.find('=');
            if (equals != std::string_view::npos
                && SameNameIgnoringCase(Trim(line.substr(0, equals)), "id")) {
                place.valueBegin = at + raw.find('=') + 1;
                place.valueEnd = lineEnd;
                return place;
            }
        }
        at = next;
    }
    return place;
}

std::string LineEnd(const std::string& text)
{
    std::size_t lf = text.find('\n');
    return lf != std::string::npos && (lf == 0 || text[lf - 1] != '\r') ? "\n" : "\r\n";
}

} // namespace

std::optional<std::string> MakePackageId()
{
    unsigned char random[16];
    std::size_t got = 0;
    while (got < sizeof random) {
        ssize_t n = ::getrandom(random + got, sizeof random - got, 0);
        if (n <= 0)
            return std::nullopt;
        got += std::size_t(n);
    }
    std::string id;
    for (unsigned char byte : random) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", byte);
        id += digits;
    }
    return id;
}

std::optional<std::string> FindPackageId(const std::string& text)
{
    return platform::FindProfileValue(text, "SETTINGS", "id");
}

std::string WithPackageId(const std::string& text, const std::string& id)
{
    IdPlace place = FindIdPlace(text);
    if (place.valueBegin)
        return text.substr(0, *place.valueBegin) + id + text.substr(place.valueEnd);
    std::string lineEnd = LineEnd(text);
    if (place.afterHeader) {
        std::size_t at = *place.afterHeader;
        return text.substr(0, at) + (place.headerEnded ? "" : lineEnd) + "id=" + id + lineEnd
            + text.substr(at);
    }
    std::string result = text;
    if (!result.empty() && result.back() != '\n')
        result += lineEnd;
    return result + "[SETTINGS]" + lineEnd + "id=" + id + lineEnd;
}
