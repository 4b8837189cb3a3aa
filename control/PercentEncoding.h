#pragma once

#include <optional>
#include <string>
#include <string_view>

// %XX escapes (RFC 3986), as URLs and the saved-data file use them.

// `text` with every byte for which `keep` is false written as %XX
// (upper-case hex digits).
std::string PercentEncode(std::string_view text, bool (*keep)(unsigned char));

// `text` with its %XX escapes decoded. A "%" not followed by two hex digits
// is kept as it is, or, when `strict`, makes the whole text invalid.
std::optional<std::string> PercentDecode(std::string_view text, bool strict);
