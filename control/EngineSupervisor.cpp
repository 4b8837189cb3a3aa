#include "control/EngineSupervisor.h"

#include "control/Debugging.h"
#include "platform/Say.h"
#include "platform/gtk/ProcessEnding.h"

#include <cstdio>
#include <cstdlib>
#include <webkit2/webkit2.h>

namespace {

// An engine that fails this many times within this long is not started
// again.
constexpr size_t FailureLimit = 3;
constexpr gint64 FailureWindow = 60 * G_USEC_PER_SEC;
// A web process whose page has not said it is ready this long after it was
// asked for counts as one that ended: it is ended and started again. A busy
// machine starts the engine in a few seconds, a hung process never does.
// The engine has as long again to start a movie it is given (its
// WebAssembly compiled, a player made), and one second more for every 2 MB
// of the movie.
constexpr guint PageStartSeconds = 30;
constexpr std::uint64_t MovieBytesPerSecond = 2 << 20;
// How long the news of a web process's end waits for a signal that ends
// the player, sent to its whole group, to be seen first.
constexpr guint WebProcessEndPauseMs = 250;

guint PageStartLimit()
{
    // QUORVEL_ENGINE_START_SECONDS shortens the wait, for tests.
    if (const char* text = std::getenv("QUORVEL_ENGINE_START_SECONDS")) {
        long seconds = std::strtol(text, nullptr, 10);
        if (seconds > 0 && seconds < long(PageStartSeconds))
            return guint(seconds);
    }
    return PageStartSeconds;
}

} // namespace

CEngineSupervisor::CEngineSupervisor(SActions actions)
    : m_actions(std::move(actions))
{
}

CEngineSupervisor::~CEngineSupervisor()
{
    Stop();
}

void CEngineSupervisor::Stop()
{
    m_bStopped = true;
    StopAll();
    if (m_nEndPause)
        g_source_remove(m_nEndPause);
    m_nEndPause = 0;
}

void CEngineSupervisor::PageLoading()
{
    StopPageWatch();
    m_nPageWatch = g_timeout_add_seconds(
        PageStartLimit(),
        +[](gpointer data) {
            auto* self = static_cast<CEngineSupervisor*>(data);
            self->m_nPageWatch = 0;
            char why[64];
            std::snprintf(why, sizeof why, "did not start within %u s", PageStartLimit());
            self->Failed(why);
            return gboolean(G_SOURCE_REMOVE);
        },
        this);
}

void CEngineSupervisor::PageReady()
{
    StopPageWatch();
}

void CEngineSupervisor::MovieGiven(std::uint64_t bytes)
{
    Watch(EWatch::Movie, PageStartLimit() + guint(bytes / MovieBytesPerSecond));
}

void CEngineSupervisor::MovieStarted()
{
    StopWatch(EWatch::Movie);
}

void CEngineSupervisor::WarmUpGiven()
{
    Watch(EWatch::Warm, PageStartLimit());
}

void CEngineSupervisor::WarmedUp()
{
    StopWatch(EWatch::Warm);
}

void CEngineSupervisor::Watch(EWatch what, unsigned seconds)
{
    StopWatch();
    m_eWatch = what;
    m_nWatchSeconds = seconds;
    m_nWatch = g_timeout_add_seconds(
        seconds,
        +[](gpointer data) {
            auto* self = static_cast<CEngineSupervisor*>(data);
            self->m_nWatch = 0;
            char why[96];
            std::snprintf(why, sizeof why, "did not %s within %u s",
                self->m_eWatch == EWatch::Movie ? "start the movie" : "warm up", self->m_nWatchSeconds);
            self->Failed(why);
            return gboolean(G_SOURCE_REMOVE);
        },
        this);
}

void CEngineSupervisor::StopWatch(EWatch what)
{
    if (m_nWatch && (what == EWatch::Any || what == m_eWatch)) {
        g_source_remove(m_nWatch);
        m_nWatch = 0;
    }
}

void CEngineSupervisor::StopPageWatch()
{
    if (m_nPageWatch)
        g_source_remove(m_nPageWatch);
    m_nPageWatch = 0;
}

void CEngineSupervisor::StopAll()
{
    StopPageWatch();
    StopWatch();
}

void CEngineSupervisor::PageFailed(const std::string& what)
{
    Failed("failed (" + what + ")");
}

void CEngineSupervisor::Failed(const std::string& why)
{
    // A player asked to end takes its web processes with it: nothing of
    // theirs is started again.
    DebugSay("engine failure: %s%s", why.c_str(), m_bPrepared ? " (prepared view)" : "");
    if (platform::ProcessEnding() || m_bStopped)
        return;
    StopAll();
    if (m_bPrepared) {
        // Nobody is told: the control that takes the view drops it.
        m_bBroken = true;
        m_actions.endWebProcess();
        return;
    }
    if (!CountFailure())
        return;
    platform::Say("the movie engine %s; starting it again", why.c_str());
    m_actions.endWebProcess();
    m_actions.restart();
}

void CEngineSupervisor::WebProcessEnded(int reason)
{
    // Only the control ends a process through the view, and it starts the
    // next one itself: should this news come after the new page is up, it
    // must not mark that page as gone.
    if (reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API || m_bStopped)
        return;
    StopAll();
    if (m_bPrepared) {
        m_bBroken = true;
        return;
    }
    // A signal that ends the player (Ctrl+C in a terminal, a session's end)
    // reaches its web processes too, and their ends may be heard before the
    // player's own signal is: the restart waits a moment for it.
    if (m_nEndPause)
        g_source_remove(m_nEndPause);
    m_nEndReason = reason;
    m_nEndPause = g_timeout_add(
        WebProcessEndPauseMs,
        +[](gpointer data) {
            auto* self = static_cast<CEngineSupervisor*>(data);
            self->m_nEndPause = 0;
            self->AfterWebProcessEnded(self->m_nEndReason);
            return gboolean(G_SOURCE_REMOVE);
        },
        this);
}

void CEngineSupervisor::AfterWebProcessEnded(int reason)
{
    if (platform::ProcessEnding() || !CountFailure())
        return;
    platform::Say("the movie engine ended (%s); starting it again",
        reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? "out of memory" : "crashed");
    m_actions.restart();
}

bool CEngineSupervisor::CountFailure()
{
    gint64 now = g_get_monotonic_time();
    std::erase_if(m_failures, [now](std::int64_t at) { return now - at > FailureWindow; });
    m_failures.push_back(now);
    if (m_failures.size() < FailureLimit)
        return true;
    StopAll();
    platform::Say("the movie engine keeps failing; the player ends");
    GtkWidget* toplevel = gtk_widget_get_toplevel(m_actions.widget());
    GtkWidget* message = gtk_message_dialog_new(GTK_IS_WINDOW(toplevel) ? GTK_WINDOW(toplevel) : nullptr,
        GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK,
        "The movie engine stopped working %zu times within a minute. The player ends.", m_failures.size());
    gtk_window_set_title(GTK_WINDOW(message), "Quorvel");
    gtk_dialog_run(GTK_DIALOG(message));
    gtk_widget_destroy(message);
    m_actions.quit();
    return false;
}
