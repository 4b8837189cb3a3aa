#include "platform/Menu.h"

#include "platform/WindowBackend.h"
#include "platform/Wnd.h"

#include <cstdlib>

namespace platform {

WORD MenuLanguageForLocale()
{
    for (const char* name : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        const char* value = std::getenv(name);
        if (!value || !*value)
            continue;
        std::string_view locale = value;
        for (std::string_view chinese : { "zh_CN", "zh_SG", "zh_Hans" }) {
            if (locale.starts_with(chinese)) {
                // "zh_CN", "zh_CN.UTF-8", "zh_Hans@..." but not "zh_CNX".
                char next = locale.size() > chinese.size() ? locale[chinese.size()] : '\0';
                if (next == '\0' || next == '.' || next == '@' || next == '-' || next == '_')
                    return LANG_ZH_CN;
            }
        }
        return LANG_EN_US;
    }
    return LANG_EN_US;
}

HMENU LoadMenu(HMODULE module, DWORD id)
{
    HRSRC resource
        = FindResourceEx(module, MAKEINTRESOURCE(RT_MENU), MAKEINTRESOURCE(id), MenuLanguageForLocale());
    if (!resource)
        resource = FindResource(module, MAKEINTRESOURCE(id), MAKEINTRESOURCE(RT_MENU));
    if (!resource)
        return nullptr;
    auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, resource)));
    return CMenuData::Parse({ bytes, SizeofResource(module, resource) }).release();
}

BOOL DestroyMenu(HMENU menu)
{
    if (!menu)
        return FALSE;
    delete menu;
    return TRUE;
}

} // namespace platform

BOOL CMenu::LoadMenu(UINT id)
{
    return Attach(platform::LoadMenu(nullptr, id));
}

BOOL CMenu::Attach(HMENU menu)
{
    if (!menu)
        return FALSE;
    DestroyMenu();
    m_hMenu = menu;
    m_bOwned = true;
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU menu = m_hMenu;
    m_hMenu = nullptr;
    m_bOwned = false;
    m_subMenus.clear();
    return menu;
}

BOOL CMenu::DestroyMenu()
{
    m_subMenus.clear();
    if (!m_hMenu)
        return FALSE;
    if (m_bOwned)
        platform::DestroyMenu(m_hMenu);
    m_hMenu = nullptr;
    m_bOwned = false;
    return TRUE;
}

CMenu* CMenu::GetSubMenu(int position)
{
    if (!m_hMenu || position < 0 || size_t(position) >= m_hMenu->items.size())
        return nullptr;
    CMenuData* popup = m_hMenu->items[size_t(position)].popup.get();
    if (!popup)
        return nullptr;
    for (const auto& sub : m_subMenus) {
        if (sub->m_hMenu == popup)
            return sub.get();
    }
    auto sub = std::make_unique<CMenu>();
    sub->m_hMenu = popup; // not owned: it lives in this menu
    m_subMenus.push_back(std::move(sub));
    return m_subMenus.back().get();
}

int CMenu::GetMenuItemCount() const
{
    return m_hMenu ? int(m_hMenu->items.size()) : -1;
}

UINT CMenu::GetMenuItemID(int position) const
{
    if (!m_hMenu || position < 0 || size_t(position) >= m_hMenu->items.size())
        return 0;
    const auto& item = m_hMenu->items[size_t(position)];
    return item.popup ? UINT(-1) : item.id;
}

UINT CMenu::GetMenuState(int position) const
{
    if (!m_hMenu || position < 0 || size_t(position) >= m_hMenu->items.size())
        return UINT(-1);
    return m_hMenu->items[size_t(position)].flags;
}

CString CMenu::GetMenuString(int position) const
{
    if (!m_hMenu || position < 0 || size_t(position) >= m_hMenu->items.size())
        return {};
    return m_hMenu->items[size_t(position)].text;
}

BOOL CMenu::TrackPopupMenu(UINT, int x, int y, CWnd* owner, const RECT*)
{
    if (!m_hMenu || !owner || !owner->GetSafeHwnd())
        return FALSE;
    return platform::GetWindowBackend().TrackPopupMenu(*m_hMenu, x, y, owner->GetSafeHwnd());
}
