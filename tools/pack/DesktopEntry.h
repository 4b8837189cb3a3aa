#pragma once

#include <string>

// The desktop entry that `quorvel-pack install` writes for a packaged
// player: an application started as `exec`, named `name`, with the themed
// icon `icon`, whose windows carry the class `windowClass`.
struct DesktopEntry {
    std::string name {};
    std::string exec {};
    std::string icon {};
    std::string windowClass {};
};

// The entry's text, every value escaped as freedesktop.org's desktop entry
// format wants it (Exec quoted, `%` doubled). Empty when `exec`
// holds a control character, which no Exec line can carry.
std::string DesktopEntryText(const DesktopEntry& entry);
