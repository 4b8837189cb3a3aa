// The player executable: the application object and main.

#include "app/FlashControlCheck.h"
#include "app/PlayerApp.h"
#include "platform/WindowBackend.h"
#include "platform/gtk/GtkMessageBoxPresenter.h"
#include "platform/gtk/GtkWindowBackend.h"
#include "player/PlayerDlg.h"
#include "res/BuiltInResources.h"

#include <cstdio>
#include <gtk/gtk.h>

namespace {

// Exit status of a run that had no display to open the window on.
constexpr int ExitNoDisplay = 3;

// Runs the player window modally as the application's main window.
class CDialogPlayerRunner final : public IPlayerRunner {
public:
    void RunPlayer(CPlayerApp& app) override
    {
        CPlayerDlg dialog(nullptr);
        app.m_pMainWnd = &dialog;
        dialog.DoModal();
        app.m_pMainWnd = nullptr;
    }
};

// Without a display there is no window to run: say so and end as a closed
// window would, so that the workspace is still emptied.
class CNoDisplayRunner final : public IPlayerRunner {
public:
    void RunPlayer(CPlayerApp& app) override
    {
        std::fprintf(stderr, "quorvel: no display: the player window cannot open\n");
        app.SetExitCode(ExitNoDisplay);
    }
};

CPlayerApp s_app;
CFlashControlInstaller s_installer;
CDialogPlayerRunner s_dialogRunner;
CNoDisplayRunner s_noDisplayRunner;

} // namespace

int main(int argc, char** argv)
{
    RegisterBuiltInResources();
    s_app.SetControlInstaller(&s_installer);

    // The program compares and formats text the same way in every locale;
    // the locale only picks the menu's language, from the environment.
    gtk_disable_setlocale();
    if (!gtk_init_check(&argc, &argv)) {
        s_app.SetPlayerRunner(&s_noDisplayRunner);
        return AfxWinMain();
    }

    platform::CGtkWindowBackend backend;
    platform::CGtkMessageBoxPresenter presenter;
    platform::SetWindowBackend(&backend);
    SetMessageBoxPresenter(&presenter);
    s_app.SetPlayerRunner(&s_dialogRunner);
    int result = AfxWinMain();
    SetMessageBoxPresenter(nullptr);
    platform::SetWindowBackend(nullptr);
    return result;
}
