#include "platform/MenuData.h"

#include <cstdlib>
#include <string>

std::unique_ptr<CMenuData> CMenuData::Parse(std::string_view text)
{
    auto menu = std::make_unique<CMenuData>();
    CMenuData* current = nullptr;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view {} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        if (line.starts_with("POPUP ")) {
            Item item;
            item.flags = MF_POPUP;
            item.text = line.substr(6);
            item.popup = std::make_unique<CMenuData>();
            current = item.popup.get();
            menu->items.push_back(std::move(item));
        } else if (line == "SEPARATOR" && current) {
            current->items.push_back({ 0, MF_SEPARATOR, {}, nullptr });
        } else if (line.starts_with("ITEM ") && current) {
            // ITEM <id> <flags> <text>
            std::string rest(line.substr(5));
            size_t idEnd = rest.find(' ');
            if (idEnd == std::string::npos)
                continue;
            size_t flagsEnd = rest.find(' ', idEnd + 1);
            if (flagsEnd == std::string::npos)
                continue;
            Item item;
            item.id = UINT(std::strtoul(rest.substr(0, idEnd).c_str(), nullptr, 0));
            item.flags = rest.substr(idEnd + 1, flagsEnd - idEnd - 1) == "grayed" ? MF_GRAYED : MF_ENABLED;
            item.text = rest.substr(flagsEnd + 1);
            current->items.push_back(std::move(item));
        }
    }
    return menu;
}
