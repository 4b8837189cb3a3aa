#pragma once

#include "app/PlayerSeams.h"
#include "platform/Resources.h"

#include <utility>

// Makes sure a Flash control of major version 8 is known: asks the
// registered one for its version, and when it is not 8 (or there is none,
// or it cannot say) writes the control this executable carries, if any, to
// the system folder as flash8.ocx, loads it, and starts its registration
// without waiting for it. False, after one message box saying what is
// missing and which package brings it, when the control (the registered
// one, or the carried one once written) cannot be loaded because a library
// it needs is missing or damaged.
bool EnsureFlashControl(platform::HMODULE module = nullptr);

// The opener's check (`quorvel FILE` carries no control): the registered
// control when it is of major version 8, else the control module at
// `modulePath` (the one installed beside the opener), loaded into this
// process alone: nothing is written or registered. False, after one message
// box, when a library the control needs is missing.
bool EnsureFlashControlFrom(const CString& modulePath);

class CInstalledControlLoader final : public IControlInstaller {
public:
    explicit CInstalledControlLoader(CString modulePath)
        : m_strModulePath(std::move(modulePath))
    {
    }
    bool EnsureFlashControl() override { return ::EnsureFlashControlFrom(m_strModulePath); }

private:
    CString m_strModulePath {};
};

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
