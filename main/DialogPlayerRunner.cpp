#include "main/DialogPlayerRunner.h"

#include "app/PlayerApp.h"
#include "main/GtkUnpackProgress.h"
#include "platform/Say.h"
#include "player/PlayerDlg.h"

void CDialogPlayerRunner::RunPlayer(CPlayerApp& app)
{
    CPlayerDlg dialog(nullptr);
    app.m_pMainWnd = &dialog;
    m_pDialog = &dialog;
    m_progress.CloseWhenIdle();
    // A window that could not be made is said, never taken for a quit.
    if (dialog.DoModal() == -1 && !app.StopRequested()) {
        platform::Say("the player window cannot open");
        app.SetExitCode(ExitNoDisplay);
    }
    m_pDialog = nullptr;
    app.m_pMainWnd = nullptr;
}

void CDialogPlayerRunner::StopPlayer()
{
    if (m_pDialog)
        m_pDialog->EndDialog(IDCANCEL);
}
