#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;

// Watches a view's engine until the movie plays, and decides what a failure
// of it means. The engine fails when its page is not ready in time, when it
// has not started a movie (or warmed up) in time, when its page reports an
// error, or when its web process ends unexpectedly. A failure ends the web
// process and has the view start the engine again, the current movie with
// it, with a line on stderr; the third within a minute shows a message box
// and asks the container to quit. A view only prepared (not yet a
// control's) is broken instead, without a word. Nothing is started again
// once the process has been asked to end (ProcessEnding.h).
class CEngineSupervisor {
public:
    struct SActions {
        // Ends the web process (its end is not reported back as a failure).
        std::function<void()> endWebProcess;
        // Loads the page again in a new web process, and the movie.
        std::function<void()> restart;
        // Ends the container, as when a movie quits.
        std::function<void()> quit;
        // The widget whose window the message box belongs to.
        std::function<GtkWidget*()> widget;
    };

    explicit CEngineSupervisor(SActions actions);
    ~CEngineSupervisor();
    CEngineSupervisor(const CEngineSupervisor&) = delete;
    CEngineSupervisor& operator=(const CEngineSupervisor&) = delete;

    // Prepared: failures break the view, quietly.
    void SetPrepared(bool prepared) { m_bPrepared = prepared; }
    bool Prepared() const { return m_bPrepared; }
    bool Broken() const { return m_bBroken; }

    // The page has been asked for; it said it is ready.
    void PageLoading();
    void PageReady();
    // A movie of `bytes` has been given; the engine said it started it.
    void MovieGiven(std::uint64_t bytes);
    void MovieStarted();
    // The warm-up has been asked for; the engine said it is done.
    void WarmUpGiven();
    void WarmedUp();
    // The page reported an error (`what`, its text).
    void PageFailed(const std::string& what);
    // The web process ended, for `reason` (a WebKitWebProcessTerminationReason).
    void WebProcessEnded(int reason);
    // Watches nothing more: the view is going.
    void Stop();

private:
    enum class EWatch { Any, Movie, Warm };
    void Watch(EWatch what, unsigned seconds);
    void StopWatch(EWatch what = EWatch::Any);
    void StopPageWatch();
    void StopAll();
    // A failure (`why`, for the line on stderr) that the control itself
    // found: the web process is ended first.
    void Failed(const std::string& why);
    void AfterWebProcessEnded(int reason);
    // Counts a failure. False once they are too many: the user has been
    // told and the container asked to quit.
    bool CountFailure();

    SActions m_actions;
    bool m_bPrepared { false };
    bool m_bBroken { false };
    // The view is going: nothing it hears of its engine is acted on.
    bool m_bStopped { false };
    unsigned m_nPageWatch { 0 };
    // The engine's watch: its timeout, what it watches, its limit.
    unsigned m_nWatch { 0 };
    EWatch m_eWatch { EWatch::Any };
    unsigned m_nWatchSeconds { 0 };
    // The pause after a web process ended, and why it ended.
    unsigned m_nEndPause { 0 };
    int m_nEndReason { 0 };
    // When the engine failed, most recent last.
    std::vector<std::int64_t> m_failures {};
};
