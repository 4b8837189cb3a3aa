#pragma once

#include "app/PlayerSeams.h"

#include <chrono>
#include <cstdint>
#include <string>

typedef struct _GtkWidget GtkWidget;

// A small window that shows which package is being unpacked and how far it
// has come, once unpacking has taken longer than ShowAfter. Between reads it
// lets GTK (and GLib's signal sources) run, at most every PumpEvery.
class CGtkUnpackProgress final : public IUnpackProgress {
public:
    void Begin(const std::string& package, std::uint64_t total) override
    {
        m_strPackage = package;
        m_nTotal = total;
        m_started = std::chrono::steady_clock::now();
        m_lastPump = {};
        m_bActive = true;
    }
    void Advance(std::uint64_t done) override;
    void End() override
    {
        m_bActive = false;
        Close();
    }
    // Closes the window (if it was shown) once the main loop runs: that is,
    // once the player window is on the screen.
    void CloseWhenIdle();

private:
    static constexpr auto ShowAfter = std::chrono::milliseconds(500);
    static constexpr auto PumpEvery = std::chrono::milliseconds(40);

    void Show();
    void Close();

    std::string m_strPackage {};
    std::uint64_t m_nTotal { 0 };
    std::chrono::steady_clock::time_point m_started {};
    std::chrono::steady_clock::time_point m_lastPump {};
    bool m_bActive { false };
    GtkWidget* m_pWindow { nullptr };
    GtkWidget* m_pBar { nullptr };
};
