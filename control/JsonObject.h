#pragma once

#include <string>
#include <string_view>

// A JSON object written member by member: the arguments of the commands the
// control sends its page. Keys and strings are UTF-8.
class CJsonObject {
public:
    CJsonObject& Add(std::string_view key, std::string_view text);
    CJsonObject& AddNull(std::string_view key);
    // `json` is a JSON value already (an object, an array, a number).
    CJsonObject& AddJson(std::string_view key, std::string_view json);
    std::string Text() const { return m_strText + "}"; }

private:
    CJsonObject& Key(std::string_view key);

    std::string m_strText { "{" };
};
