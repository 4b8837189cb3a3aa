#include "res/BuiltInResources.h"

#include "res/QuorvelIcon.h"
#include "res/ResourceIds.h"

#include <string_view>

namespace {

// String table entry 1: the window title.
constexpr std::string_view s_title = "Quorvel";

// Dialog 102, one "key=value" line each: the player window, a popup with a
// taskbar button and no caption, border or controls, 114 x 108 dialog units
// of Tahoma 8.
constexpr std::string_view s_playerDialog = "style=0x90000A40\n"
                                            "exstyle=0x00040000\n"
                                            "x=0\n"
                                            "y=0\n"
                                            "cx=114\n"
                                            "cy=108\n"
                                            "font=Tahoma\n"
                                            "points=8\n"
                                            "weight=0\n"
                                            "italic=0\n"
                                            "charset=1\n";

// Menu 133 in two languages, one line per item: "POPUP title", then
// "ITEM id flags text" (flags: "-" enabled, "grayed") or "SEPARATOR".
constexpr std::string_view s_menuEnglish = "POPUP Right Menu\n"
                                           "ITEM 0x8003 - Fullscreen\n"
                                           "ITEM 0x8007 - Always on top\n"
                                           "ITEM 0x8008 - Minimize Window\n"
                                           "SEPARATOR\n"
                                           "ITEM 0x8005 grayed Stop\n"
                                           "ITEM 0x8006 grayed Play\n"
                                           "SEPARATOR\n"
                                           "ITEM 0x8004 - Quit\n";

constexpr std::string_view s_menuChinese = "POPUP Right Menu\n"
                                           "ITEM 0x8003 - \u5168\u5C4F\n"
                                           "ITEM 0x8007 - \u7A97\u53E3\u5C45\u9876\n"
                                           "ITEM 0x8008 - \u6700\u5C0F\u5316\n"
                                           "SEPARATOR\n"
                                           "ITEM 0x8005 grayed \u505C\u6B62\u5F71\u7247\n"
                                           "ITEM 0x8006 grayed \u64AD\u653E\u5F71\u7247\n"
                                           "SEPARATOR\n"
                                           "ITEM 0x8004 - \u9000\u51FA\n";

std::span<const BYTE> Bytes(std::string_view text)
{
    return { reinterpret_cast<const BYTE*>(text.data()), text.size() };
}

} // namespace

std::vector<platform::BuiltInResource> BuiltInResources()
{
    using namespace platform;
    return {
        { RT_STRING, IDS_TITLE, LANG_NEUTRAL_DEFAULT, Bytes(s_title) },
        { RT_DIALOG, IDD_PLAYER_DIALOG, LANG_NEUTRAL_DEFAULT, Bytes(s_playerDialog) },
        { RT_MENU, IDR_RIGHT_MENU, LANG_EN_US, Bytes(s_menuEnglish) },
        { RT_MENU, IDR_RIGHT_MENU, LANG_ZH_CN, Bytes(s_menuChinese) },
        { RT_GROUP_ICON, IDR_MAINFRAME, LANG_NEUTRAL_DEFAULT, QuorvelIconPng() },
    };
}

void RegisterBuiltInResources()
{
    platform::CModule::SetBuiltIn(BuiltInResources());
}
