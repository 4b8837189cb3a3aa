#pragma once

#include "app/PlayerSeams.h"
#include "platform/Resources.h"

// Makes sure a Flash control of major version 8 is known: asks the
// registered one for its version, and when it is not 8 (or there is none,
// or it cannot say) writes the control this executable carries, if any, to
// the system folder as flash8.ocx, loads it, and starts its registration
// without waiting for it. False, after one message box saying what is
// missing and which package brings it, when the control (the registered
// one, or the carried one once written) cannot be loaded because a library
// it needs is missing or damaged.
bool EnsureFlashControl(platform::HMODULE module = nullptr);

class CFlashControlInstaller final : public IControlInstaller {
public:
    explicit CFlashControlInstaller(platform::HMODULE module = nullptr)
        : m_hModule(module)
    {
    }
    bool EnsureFlashControl() override { return ::EnsureFlashControl(m_hModule); }

private:
    platform::HMODULE m_hModule { nullptr };
};
