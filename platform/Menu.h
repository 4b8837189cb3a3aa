#pragma once

#include "platform/MenuData.h"
#include "platform/Resources.h"

#include <memory>
#include <vector>

class CWnd;

namespace platform {

// The language of menu resources for the user's locale: Chinese
// (Simplified) when the first of LC_ALL, LC_MESSAGES and LANG that is set
// names zh_CN, zh_SG or zh_Hans, English (United States) otherwise.
WORD MenuLanguageForLocale();

// Menu `id` of `module` (null: the running executable) in the locale's
// language, falling back to any language; null when there is none. The
// caller owns the menu (DestroyMenu).
HMENU LoadMenu(HMODULE module, DWORD id);
BOOL DestroyMenu(HMENU menu);

} // namespace platform

// A menu handle. A menu loaded or attached is owned and destroyed with the
// object; the sub-menus it hands out belong to it.
class CMenu {
public:
    CMenu() = default;
    ~CMenu() { DestroyMenu(); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    BOOL LoadMenu(UINT id);
    BOOL Attach(HMENU menu);
    HMENU Detach();
    BOOL DestroyMenu();
    HMENU GetSafeHmenu() const { return m_hMenu; }

    // Pop-up `position`, or null.
    CMenu* GetSubMenu(int position);
    int GetMenuItemCount() const;
    UINT GetMenuItemID(int position) const; // 0 for a separator, -1 for a pop-up
    UINT GetMenuState(int position) const; // MF_ flags of the item
    CString GetMenuString(int position) const;

    // Shows the menu at the screen point; the chosen item's command goes to `owner`.
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, const RECT* exclude = nullptr);

    HMENU m_hMenu { nullptr };

private:
    bool m_bOwned { false };
    std::vector<std::unique_ptr<CMenu>> m_subMenus {};
};
