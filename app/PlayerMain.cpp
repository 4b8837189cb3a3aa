// The player executable: the application object and main.

#include "app/FlashControlCheck.h"
#include "app/PlayerApp.h"
#include "platform/Shell.h"
#include "platform/WindowBackend.h"
#include "platform/gtk/GtkMessageBoxPresenter.h"
#include "platform/gtk/GtkWindowBackend.h"
#include "player/PlayerDlg.h"
#include "res/BuiltInResources.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <dlfcn.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <unistd.h>

// Xlib's display, as its IO error handler takes it.
struct _XDisplay;

namespace {

// Exit status of a run that had no display to open the window on, or lost
// the one it had.
constexpr int ExitNoDisplay = 3;

// Runs the player window modally as the application's main window.
class CDialogPlayerRunner final : public IPlayerRunner {
public:
    void RunPlayer(CPlayerApp& app) override;
    void StopPlayer() override
    {
        if (m_pDialog)
            m_pDialog->EndDialog(IDCANCEL);
    }

private:
    CPlayerDlg* m_pDialog { nullptr };
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
    void CloseWhenIdle()
    {
        m_bActive = false;
        if (m_pWindow)
            g_idle_add(
                +[](gpointer self) {
                    static_cast<CGtkUnpackProgress*>(self)->Close();
                    return gboolean(G_SOURCE_REMOVE);
                },
                this);
    }

private:
    static constexpr auto ShowAfter = std::chrono::milliseconds(500);
    static constexpr auto PumpEvery = std::chrono::milliseconds(40);

    void Show();
    void Close()
    {
        if (m_pWindow)
            gtk_widget_destroy(m_pWindow);
        m_pWindow = nullptr;
        m_pBar = nullptr;
    }

    std::string m_strPackage {};
    std::uint64_t m_nTotal { 0 };
    std::chrono::steady_clock::time_point m_started {};
    std::chrono::steady_clock::time_point m_lastPump {};
    bool m_bActive { false };
    GtkWidget* m_pWindow { nullptr };
    GtkWidget* m_pBar { nullptr };
};

CPlayerApp s_app;
CFlashControlInstaller s_installer;
CDialogPlayerRunner s_dialogRunner;
CNoDisplayRunner s_noDisplayRunner;
CGtkUnpackProgress s_progress;
platform::CGtkMessageBoxPresenter* s_pPresenter = nullptr;

void CDialogPlayerRunner::RunPlayer(CPlayerApp& app)
{
    CPlayerDlg dialog(nullptr);
    app.m_pMainWnd = &dialog;
    m_pDialog = &dialog;
    // A stop asked for while the package was unpacked ends the window before
    // it runs.
    if (app.StopRequested())
        dialog.EndDialog(IDCANCEL);
    s_progress.CloseWhenIdle();
    // A window that could not be made is said, never taken for a quit.
    if (dialog.DoModal() == -1 && !app.StopRequested()) {
        std::fprintf(stderr, "quorvel: the player window cannot open\n");
        app.SetExitCode(ExitNoDisplay);
    }
    m_pDialog = nullptr;
    app.m_pMainWnd = nullptr;
}

void CGtkUnpackProgress::Advance(std::uint64_t done)
{
    if (!m_bActive)
        return;
    auto now = std::chrono::steady_clock::now();
    if (now - m_lastPump < PumpEvery)
        return;
    m_lastPump = now;
    if (!m_pWindow && now - m_started >= ShowAfter)
        Show();
    if (m_pBar) {
        std::uint64_t shown = done < m_nTotal ? done : m_nTotal;
        double fraction = m_nTotal ? double(shown) / double(m_nTotal) : 1.0;
        char text[96];
        std::snprintf(text, sizeof text, "%.1f MB of %.1f MB", double(shown) / 1e6, double(m_nTotal) / 1e6);
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(m_pBar), fraction);
        gtk_progress_bar_set_text(GTK_PROGRESS_BAR(m_pBar), text);
    }
    // Redraws, and the signal sources: a bounded number of rounds, so that a
    // busy display cannot hold the unpacking up.
    for (int round = 0; round < 64 && g_main_context_iteration(nullptr, FALSE); ++round) { }
}

void CGtkUnpackProgress::Show()
{
    m_pWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    CString title = "Unpacking " + m_strPackage;
    gtk_window_set_title(GTK_WINDOW(m_pWindow), title.c_str());
    gtk_window_set_position(GTK_WINDOW(m_pWindow), GTK_WIN_POS_CENTER);
    gtk_window_set_resizable(GTK_WINDOW(m_pWindow), FALSE);
    gtk_window_set_default_size(GTK_WINDOW(m_pWindow), 360, -1);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_container_set_border_width(GTK_CONTAINER(box), 12);
    CString label = "Unpacking " + m_strPackage + "\u2026";
    gtk_box_pack_start(GTK_BOX(box), gtk_label_new(label.c_str()), FALSE, FALSE, 0);
    m_pBar = gtk_progress_bar_new();
    gtk_progress_bar_set_show_text(GTK_PROGRESS_BAR(m_pBar), TRUE);
    gtk_box_pack_start(GTK_BOX(box), m_pBar, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(m_pWindow), box);
    gtk_widget_show_all(m_pWindow);
}

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
