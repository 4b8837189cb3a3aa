#pragma once

#include <string>
#include <string_view>

// `text` (UTF-8) as a double-quoted JavaScript string literal, which is a
// JSON string too: quotes and backslashes escaped, control characters as
// \uXXXX.
std::string JsString(std::string_view text);
