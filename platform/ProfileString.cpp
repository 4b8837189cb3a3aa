#include "platform/ProfileString.h"

#include "platform/HostPath.h"
#include "platform/MbString.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>

namespace platform {

namespace {

constexpr std::string_view Blanks = " \t";

std::string_view Trim(std::string_view text)
{
    size_t first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(Blanks);
    return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, const char* b)
{
    return _mbsicmp(std::string(a).c_str(), b) == 0;
}

std::string_view Unquote(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

DWORD CopyOut(std::string_view value, LPSTR buffer, DWORD size)
{
    if (!buffer || size == 0)
        return 0;
    DWORD n = DWORD(std::min<size_t>(value.size(), size - 1));
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return n;
}

} // namespace

std::optional<std::string> FindProfileValue(const std::string& text, const char* section, const char* key)
{
    std::string_view rest = text;
    if (rest.starts_with("\xEF\xBB\xBF"))
        rest.remove_prefix(3);
    bool inSection = false;
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        line = Trim(line);
        if (line.starts_with('[')) {
            size_t close = line.find(']');
            std::string_view name
                = Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
            inSection = SameName(name, section);
            continue;
        }
        if (!inSection)
            continue;
        size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        if (SameName(Trim(line.substr(0, equals)), key))
            return std::string(Unquote(Trim(line.substr(equals + 1))));
    }
    return std::nullopt;
}

DWORD GetPrivateProfileString(
    LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size, LPCSTR fileName)
{
    std::string_view fallback = defaultValue ? defaultValue : "";
    fallback = fallback.substr(0, fallback.find_last_not_of(Blanks) + 1);

    auto host = ToHostPath(fileName);
    if (!host || !section || !key)
        return CopyOut(fallback, buffer, size);
    std::ifstream in(*host, std::ios::binary);
    if (!in)
        return CopyOut(fallback, buffer, size);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    auto value = FindProfileValue(text, section, key);
    return CopyOut(value ? std::string_view(*value) : fallback, buffer, size);
}

} // namespace platform
