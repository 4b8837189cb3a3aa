// The player executable: the application object and main.

#include "app/FlashControlCheck.h"
#include "app/PlayerApp.h"
#include "main/DialogPlayerRunner.h"
#include "main/GtkUnpackProgress.h"
#include "platform/Shell.h"
#include "platform/Timeline.h"
#include "platform/WindowBackend.h"
#include "platform/gtk/GtkMessageBoxPresenter.h"
#include "platform/gtk/GtkWindowBackend.h"
#include "res/BuiltInResources.h"

#include <csignal>
#include <cstdio>
#include <dlfcn.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <unistd.h>

// Xlib's display, as its IO error handler takes it.
struct _XDisplay;

namespace {

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
CNoDisplayRunner s_noDisplayRunner;
CGtkUnpackProgress s_progress;
CDialogPlayerRunner s_dialogRunner { s_progress };
platform::CGtkMessageBoxPresenter* s_pPresenter = nullptr;

// SIGTERM, SIGINT and SIGHUP reach us here through GLib's self-pipe, on the
// GUI thread, never inside the signal handler: the run is asked to end, and
// the exit step empties the workspace.
gboolean OnStopSignal(gpointer data)
{
    s_app.RequestStop(GPOINTER_TO_INT(data));
    if (s_pPresenter)
        s_pPresenter->DismissShowing();
    return G_SOURCE_CONTINUE;
}

// Xlib calls this when the connection to the display is gone; returning
// from it would end the process without a word and with the workspace full.
int OnDisplayLost(_XDisplay*)
{
    std::fprintf(stderr, "quorvel: the connection to the display was lost\n");
    s_app.ReleaseWorkspace();
    ::_exit(ExitNoDisplay);
}

void CatchDisplayLoss()
{
    // Through dlsym: libX11 is in the process whenever GDK talks X11, and the
    // player does not otherwise link it.
    using Handler = int (*)(_XDisplay*);
    using Setter = Handler (*)(Handler);
    if (auto set = reinterpret_cast<Setter>(::dlsym(RTLD_DEFAULT, "XSetIOErrorHandler")))
        set(&OnDisplayLost);
}

} // namespace

int main(int argc, char** argv)
{
    platform::TimelineMark("main");
    // The registration tool (regsvr32) is this executable started afresh. It
    // ends without running the destructors of the module it loaded, as the
    // tool always has.
    if (int status = platform::RunRegistrationTool(argc, argv); status >= 0) {
        std::fflush(nullptr);
        ::_exit(status);
    }
    for (int signal : { SIGTERM, SIGINT, SIGHUP })
        g_unix_signal_add(signal, OnStopSignal, GINT_TO_POINTER(signal));

    RegisterBuiltInResources();
    s_app.SetControlInstaller(&s_installer);

    // The program compares and formats text the same way in every locale;
    // the locale only picks the menu's language, from the environment.
    gtk_disable_setlocale();
    if (!gtk_init_check(&argc, &argv)) {
        s_app.SetPlayerRunner(&s_noDisplayRunner);
        return AfxWinMain();
    }
    CatchDisplayLoss();
    platform::TimelineMark("display open");

    platform::CGtkWindowBackend backend;
    platform::CGtkMessageBoxPresenter presenter;
    platform::SetWindowBackend(&backend);
    SetMessageBoxPresenter(&presenter);
    s_pPresenter = &presenter;
    s_app.SetPlayerRunner(&s_dialogRunner);
    s_app.SetUnpackProgress(&s_progress);
    int result = AfxWinMain();
    s_app.SetUnpackProgress(nullptr);
    s_pPresenter = nullptr;
    SetMessageBoxPresenter(nullptr);
    platform::SetWindowBackend(nullptr);
    return result;
}
