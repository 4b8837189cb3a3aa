#include "main/PlayerProcess.h"

#include "app/CarriedSettings.h"
#include "app/FlashControlCheck.h"
#include "app/OpenedFile.h"
#include "app/PlayerApp.h"
#include "app/SavedData.h"
#include "app/WorkspaceGuard.h"
#include "main/DialogPlayerRunner.h"
#include "main/GtkUnpackProgress.h"
#include "platform/Resources.h"
#include "platform/Say.h"
#include "platform/Shell.h"
#include "platform/Timeline.h"
#include "platform/WindowBackend.h"
#include "platform/gtk/DisplayLoss.h"
#include "platform/gtk/GtkMessageBoxPresenter.h"
#include "platform/gtk/GtkWindowBackend.h"
#include "platform/gtk/ProcessEnding.h"
#include "res/BuiltInResources.h"
#include "res/ResourceIds.h"

#include <csignal>
#include <cstdio>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <unistd.h>

namespace {

// Without a display there is no window to run: say so and end as a closed
// window would, so that the workspace is still emptied.
class CNoDisplayRunner final : public IPlayerRunner {
public:
    void RunPlayer(CPlayerApp& app) override
    {
        platform::Say("no display: the player window cannot open");
        app.SetExitCode(ExitNoDisplay);
    }
};

CPlayerApp s_app;
CFlashControlInstaller s_installer;
CNoDisplayRunner s_noDisplayRunner;
CWorkspaceGuard s_guard;
CGtkUnpackProgress s_progress;
CDialogPlayerRunner s_dialogRunner { s_progress };
platform::CGtkMessageBoxPresenter* s_pPresenter = nullptr;

// SIGTERM, SIGINT and SIGHUP reach us here through GLib's self-pipe, on the
// GUI thread, never inside the signal handler: the run is asked to end, and
// the exit step empties the workspace.
gboolean OnStopSignal(gpointer data)
{
    // The control sees it too: its web processes may be ending with us.
    platform::MarkProcessEnding();
    s_app.RequestStop(GPOINTER_TO_INT(data));
    if (s_pPresenter)
        s_pPresenter->DismissShowing();
    return G_SOURCE_CONTINUE;
}

// The connection to the display is gone (X11 or Wayland): left to itself the
// toolkit would end the process without a word and with the workspace full.
void OnDisplayLost()
{
    platform::Say("the connection to the display was lost");
    s_app.ReleaseWorkspace();
    ::_exit(ExitNoDisplay);
}

// The class of the player's windows, "quorvel-" and the package's id (the
// one its saved data goes under): WM_CLASS on X11, the app_id on Wayland,
// and what an installed desktop entry names as its StartupWMClass.
CString WindowClass(const COpenedFile* opened)
{
    using namespace platform;
    if (opened)
        return "quorvel-" + opened->SavedDataId();
    CString id;
    if (HRSRC resource = FindResource(nullptr, MAKEINTRESOURCE(IDR_PACKAGE), RT_PACKAGE)) {
        auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, resource)));
        id = CarriedPackageId(bytes, SizeofResource(nullptr, resource));
    }
    return "quorvel-" + EffectivePackageId(id, RunningExecutablePath());
}

} // namespace

void RunHelperIfAsked(int argc, char** argv)
{
    // The workspace's guard is this executable started afresh, too.
    if (int status = RunWorkspaceGuard(argc, argv); status >= 0) {
        std::fflush(nullptr);
        ::_exit(status);
    }
    // The registration tool (regsvr32) is this executable started afresh. It
    // ends without running the destructors of the module it loaded, as the
    // tool always has.
    if (int status = platform::RunRegistrationTool(argc, argv); status >= 0) {
        std::fflush(nullptr);
        ::_exit(status);
    }
}

int RunPlayerProcess(int argc, char** argv, const COpenedFile* opened, IControlInstaller* installer,
    IFailureReporter* reporter)
{
    platform::TimelineMark("main");
    for (int signal : { SIGTERM, SIGINT, SIGHUP })
        g_unix_signal_add(signal, OnStopSignal, GINT_TO_POINTER(signal));

    RegisterBuiltInResources();
    s_app.SetControlInstaller(installer ? installer : &s_installer);
    s_app.SetOpenedFile(opened);
    s_app.SetFailureReporter(reporter);
    s_app.SetWorkspaceGuard(&s_guard);

    // The program compares and formats text the same way in every locale;
    // the locale only picks the menu's language, from the environment.
    gtk_disable_setlocale();
    // Message boxes keep the executable's own name as their title.
    gchar* fileName = g_path_get_basename(argc > 0 ? argv[0] : "quorvel");
    g_set_application_name(fileName);
    g_free(fileName);
    // GTK names its windows after the program: both halves of WM_CLASS, and
    // the Wayland app_id, come from these.
    CString windowClass = WindowClass(opened);
    g_set_prgname(windowClass.c_str());
    if (!gtk_init_check(&argc, &argv)) {
        s_app.SetPlayerRunner(&s_noDisplayRunner);
        return AfxWinMain();
    }
    // GTK's start gives the class the name with a capital; ours has none.
    gdk_set_program_class(windowClass.c_str());
    platform::CatchDisplayLoss(&OnDisplayLost);
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
