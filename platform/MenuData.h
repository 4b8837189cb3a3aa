#pragma once

#include "platform/WindowTypes.h"

#include <memory>
#include <vector>

// A menu as the menu resource describes it: items with a command id, a
// state and a text, and pop-up items that hold a menu of their own.
struct CMenuData {
    struct Item {
        UINT id { 0 };
        UINT flags { MF_ENABLED }; // MF_GRAYED, MF_SEPARATOR, MF_POPUP
        CString text {};
        std::unique_ptr<CMenuData> popup {};
    };
    std::vector<Item> items {};

    // Reads the resource form: "POPUP title" opens a pop-up at the top
    // level; within it "ITEM id flags text" (flags "-" or "grayed") and
    // "SEPARATOR" add items. Lines that fit none of these are skipped.
    static std::unique_ptr<CMenuData> Parse(std::string_view text);
};

using HMENU = CMenuData*;
