#include "platform/Icon.h"

#include <map>
#include <memory>

namespace platform {

HICON LoadIcon(HMODULE module, DWORD id)
{
    static std::map<std::pair<HMODULE, DWORD>, std::unique_ptr<CIconData>> s_icons;
    auto& icon = s_icons[{ module, id }];
    if (!icon) {
        HRSRC resource = FindResource(module, MAKEINTRESOURCE(id), MAKEINTRESOURCE(RT_GROUP_ICON));
        if (!resource)
            return nullptr;
        auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
        icon = std::make_unique<CIconData>(CIconData { { bytes, SizeofResource(module, resource) } });
    }
    return icon.get();
}

} // namespace platform
