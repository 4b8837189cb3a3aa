#pragma once

#include "control/SavedObjects.h"
#include "platform/Types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitURISchemeRequest WebKitURISchemeRequest;
typedef struct _WebKitUserContentManager WebKitUserContentManager;
typedef struct _WebKitJavascriptResult WebKitJavascriptResult;
typedef struct _WebKitPolicyDecision WebKitPolicyDecision;

struct MovieToServe;
class CJsonObject;

// The control's window: a web view running the movie engine. A private URI
// scheme serves the engine's page and files (quorvel-control://engine/...)
// and the package (quorvel-control://package/..., see PackageFiles.h): the
// current movie, rewritten to report its frames, and every other file of
// the workspace as it is. The page never navigates; links go to the
// desktop (LinkPolicy.h).
class CRuffleView {
public:
    using FSCommandHandler = std::function<void(const std::string& command, const std::string& args)>;

    explicit CRuffleView(FSCommandHandler onFSCommand);
    // Stops the movie, which writes what it saved, before the view goes.
    ~CRuffleView();
    CRuffleView(const CRuffleView&) = delete;
    CRuffleView& operator=(const CRuffleView&) = delete;

    GtkWidget* Widget() const;

    // Made ahead of its control: the engine is started out of sight (its
    // WebAssembly compiled, a player's drawing device made) so that the
    // first movie finds it ready. Until Adopt, an engine that fails is not
    // started again and nobody is told: the view is only Broken().
    void Prepare();
    // The view is a control's from now on: its FSCommands go to `onFSCommand`
    // and its engine is started again when it fails.
    void Adopt(FSCommandHandler onFSCommand);
    bool Broken() const { return m_bBroken; }

    // 0 shows the whole movie, 1 fills the view cropping the movie, 2 fits
    // it exactly, 3 keeps its size; others count as 0. Takes effect with the
    // next movie.
    void SetScaleMode(LONG mode);
    // 0x00RRGGBB behind the movie, overriding its own; -1 (or any negative
    // value) gives the movie its own colour again.
    void SetBackgroundColor(LONG rgb);
    // Where what movies save is kept across runs (one folder per package);
    // read at once, written at every change. Set before the first movie.
    void SetSavedDataFolder(const std::string& folder);
    // False when the file cannot be read.
    bool LoadMovie(LONG layer, const std::string& path);
    void Play();
    void Stop();
    // The root timeline's frame, counted from 0, as the current movie last
    // reported it: 0 before its first report, -1 for a movie that cannot
    // report its frames.
    LONG FrameNum() const { return m_nFrame; }

    // Serves a request of the private scheme for the view it came from.
    static void ServeRequestFor(CRuffleView* self, WebKitURISchemeRequest* request);

private:
    static void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, void* self);
    static int OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, int type, void* self);
    void HandleMessage(const std::string& type, const std::string& load, const std::string& first,
        const std::string& second);
    void ServePackageFile(WebKitURISchemeRequest* request, const std::string& path);
    void OpenLink(const std::string& url);
    // Calls the page's command `name` with its argument, a JSON object.
    void Command(const char* name, const std::string& json = "{}");
    void StartMovie();
    void FocusMovie();
    // Warms the engine up when the page is ready and no movie is on its way.
    void WarmWhenIdle();
    // `json` with the background colour for the page under `key`: a CSS
    // colour string, or null for the movie's own.
    void AddBackground(CJsonObject& json, std::string_view key) const;
    // Loads the engine's page, and watches that it says it is ready in time.
    void LoadPage();
    void StopPageWatch();
    void OnPageOverdue();
    // What the engine has been given and has yet to answer: a movie to start
    // (until "loaded") or the warm-up (until "warm"). The watch runs out
    // after `seconds`: an engine failure.
    enum class EWatch { Any, Movie, Warm };
    void Watch(EWatch what, unsigned seconds);
    void StopWatch(EWatch what = EWatch::Any);
    // The engine failed (`why`, for the line on stderr): its page is made
    // again in a new web process and the movie given again, or, for a view
    // only prepared, the view is broken.
    void OnEngineFailed(const std::string& why);
    void OnWebProcessEnded(int reason);
    void AfterWebProcessEnded(int reason);
    // A script of the tests' added to every page (QUORVEL_TEST_PAGE_SCRIPT).
    static void AddTestPageScript(WebKitUserContentManager* content);
    // Counts a web process that ended or never started. False once they are
    // too many: the user has been told and the container asked to quit.
    bool CountEngineFailure();
    // A new web process with the page, and the current movie in it.
    void Restart();

    FSCommandHandler m_onFSCommand {};
    WebKitWebView* m_pView { nullptr };
    bool m_bPageReady { false };
    bool m_bMoviePending { false };
    bool m_bUnloaded { false };
    bool m_bSavedDataSent { false };
    // Prepared and not yet a control's; asked to warm the engine up; its
    // engine failed while it was only prepared.
    bool m_bPrepared { false };
    bool m_bWarm { false };
    bool m_bBroken { false };
    LONG m_nScaleMode { 0 };
    std::string m_strBackground {};
    // The folder of the package's files: the current movie's.
    std::string m_strFolder {};
    // The current movie's name in the package, and its file with the plan
    // of its frame reports until the engine has asked for it (null for a
    // movie that cannot report its frames: it is served as it is).
    std::string m_strMovieName {};
    std::shared_ptr<MovieToServe> m_pMovie {};
    // The current movie shows CJK text: the system's fonts for it go with it.
    bool m_bCjkText { false };
    unsigned m_nMovieGeneration { 0 };
    // The current movie's file, to start it again in a new web process.
    std::string m_strMoviePath {};
    // When the web process ended unexpectedly, most recent last.
    std::vector<std::int64_t> m_webProcessEnds {};
    // The timeout that ends a web process whose page never got ready.
    unsigned m_nPageWatch { 0 };
    // The current page's identity and address.
    std::string m_strPageId {};
    std::string m_strPageUrl {};
    // The engine's watch (Watch): its timeout, what it watches, its limit.
    unsigned m_nWatch { 0 };
    EWatch m_eWatch { EWatch::Any };
    unsigned m_nWatchSeconds { 0 };
    // The pause after a web process ended, and why it ended.
    unsigned m_nEndPause { 0 };
    int m_nEndReason { 0 };
    LONG m_nFrame { 0 };
    CSavedObjects m_saved {};
};
