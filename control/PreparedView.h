#pragma once

#include "control/RuffleView.h"

#include <memory>

// The one web view made ahead of any control that wants it
// (QV_DISPID_PREPARE_ENGINE): it waits here, its engine starting out of
// sight, until the next control of the process takes it.
class CPreparedView {
public:
    // Makes the view and starts its engine, unless one is waiting already
    // or there is no display to make it on.
    static void Make();
    // The waiting view, now the caller's; null when there is none or its
    // engine failed (that view is dropped).
    static std::unique_ptr<CRuffleView> Take();
    static bool Waiting();
};
