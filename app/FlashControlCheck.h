#pragma once

#include "app/PlayerSeams.h"
#include "platform/Resources.h"

// Makes sure a Flash control of major version 8 is known: asks the
// registered one for its version, and when it is not 8 (or there is none,
// or it cannot say) writes the control this executable carries, if any, to
// the system folder as flash8.ocx and starts its registration without
// waiting for it.
void EnsureFlashControl(platform::HMODULE module = nullptr);

class CFlashControlInstaller final : public IControlInstaller {
public:
    explicit CFlashControlInstaller(platform::HMODULE module = nullptr)
        : m_hModule(module)
    {
    }
    void EnsureFlashControl() override { ::EnsureFlashControl(m_hModule); }

private:
    platform::HMODULE m_hModule { nullptr };
};
