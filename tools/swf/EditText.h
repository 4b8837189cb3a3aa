#pragma once

#include "platform/Types.h"
#include "tools/swf/Records.h"

#include <string>

// A text field for DefineEditText. The defaults give a read-only,
// unselectable single line in a device font: the font's glyphs are not
// drawn from the movie but by the system.
struct SwfEditText {
    SwfRect bounds {};
    WORD fontId { 0 }; // a DefineFont2; 0 writes no font
    WORD fontHeight { 240 }; // twips
    SwfRgba colour {};
    std::string text {}; // UTF-8
    std::string variableName {}; // the variable the field shows, if any
    bool readOnly { true };
    bool noSelect { true };
    bool html { false };
    bool autoSize { false };
    bool border { false };
    bool multiline { false };
    bool wordWrap { false };
    bool useOutlines { false }; // the font's glyphs instead of a device font
};
