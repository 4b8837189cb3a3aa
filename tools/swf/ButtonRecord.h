#pragma once

#include "platform/Types.h"
#include "tools/swf/Records.h"

// The states of a button in which a character shows; Hit is the area that
// takes the mouse and is never drawn.
enum ButtonStates : BYTE {
    ButtonUp = 0x01,
    ButtonOver = 0x02,
    ButtonDown = 0x04,
    ButtonHit = 0x08,
    ButtonAllStates = 0x0F,
};

// One character of a button, placed at `depth` inside it.
struct SwfButtonRecord {
    WORD character { 0 };
    WORD depth { 1 };
    BYTE states { ButtonAllStates };
    SwfMatrix matrix {};
};
