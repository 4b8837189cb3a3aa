#pragma once

#include "app/PlayerSeams.h"

class CGtkUnpackProgress;
class CPlayerDlg;

// Runs the player window modally as the application's main window; the
// unpacking progress window goes once the player window is up.
class CDialogPlayerRunner final : public IPlayerRunner {
public:
    explicit CDialogPlayerRunner(CGtkUnpackProgress& progress)
        : m_progress(progress)
    {
    }
    void RunPlayer(CPlayerApp& app) override;
    void StopPlayer() override;

private:
    CGtkUnpackProgress& m_progress;
    CPlayerDlg* m_pDialog { nullptr };
};
