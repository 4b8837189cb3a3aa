#pragma once

#include "control/EngineSupervisor.h"
#include "control/GivenMovie.h"
#include "control/NavigationPolicy.h"
#include "control/SavedObjects.h"
#include "control/SchemeServer.h"
#include "platform/Types.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitUserContentManager WebKitUserContentManager;
typedef struct _WebKitJavascriptResult WebKitJavascriptResult;

class CJsonObject;
struct PageMessage;

// The control's window: a web view running the movie engine in its page
// (control/page/), served by the private scheme (SchemeServer.h) with the
// package. The view drives the page with its commands and answers the
// page's messages (PageMessages.h); its engine is watched and started again
// when it fails (EngineSupervisor.h); the page never navigates, and links
// go to the desktop (NavigationPolicy.h).
class CRuffleView {
public:
    using FSCommandHandler = std::function<void(const std::string& command, const std::string& args)>;

    explicit CRuffleView(FSCommandHandler onFSCommand);
    // Unloads the movie (Unload) before the view goes.
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
    bool Broken() const { return m_supervisor.Broken(); }

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
    // Makes the movie at `path`, one of the current movie's package, ready
    // out of sight while the current one plays (PrepareMovie): when LoadMovie
    // asks for it next, the page swaps it in at once instead of starting an
    // engine player for it. Nothing shows, plays or sounds until then; a
    // movie that cannot be read or prepared is left to load as usual.
    // A view that has had no movie yet (one made to take over, ViewRelay.h)
    // prepares its first, of any package, once its engine has warmed up.
    void PrepareMovie(const std::string& path);
    // The movie at `path` is prepared and its player made: LoadMovie of it
    // shows it at once.
    bool ReadyFor(const std::string& path) const;
    // Removes the movie from the page, which stops its sound and makes the
    // engine write what it saved, and waits (up to 10 s) until the page says
    // it is done; says so when it does not, naming the `occasion`.
    void Unload(const char* occasion = "as the player ended");
    void Play();
    void Stop();
    // The root timeline's frame, counted from 0, as the current movie last
    // reported it: 0 before its first report, -1 for a movie that cannot
    // report its frames.
    LONG FrameNum() const { return m_nFrame; }

private:
    static void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, void* self);
    void HandleMessage(const PageMessage& message);
    // Calls the page's command `name` with its argument, a JSON object.
    void Command(const char* name, const std::string& json = "{}");
    // The movie in m_movie is the current one from now on, and watched.
    void Given();
    void StartMovie();
    // Forgets the prepared movie (the page drops its player with its next
    // load of another movie or its next prepare).
    void DropPrepared();
    // Asks the page for the prepared movie once it can make it.
    void SendPrepare();
    void FocusMovie();
    // The web view's own colour, behind the page: `css`, or black for none.
    void SetViewColour(const std::string& css);
    // Warms the engine up when the page is ready and no movie is on its way.
    void WarmWhenIdle();
    // `json` with the background colour for the page under `key`: a CSS
    // colour string, or null for the movie's own.
    void AddBackground(CJsonObject& json, std::string_view key) const;
    // Loads the engine's page, a new one with an identity of its own.
    void LoadPage();
    void OnWebProcessEnded(int reason);
    // A new web process with the page, and the current movie in it.
    void Restart();

    FSCommandHandler m_onFSCommand {};
    WebKitWebView* m_pView { nullptr };
    CPackageServer m_package {};
    CEngineSupervisor m_supervisor;
    CNavigationPolicy m_navigation;
    bool m_bPageReady { false };
    bool m_bMoviePending { false };
    bool m_bUnloaded { false };
    bool m_bSavedDataSent { false };
    // Asked to warm the engine up (a prepared view).
    bool m_bWarm { false };
    LONG m_nScaleMode { 0 };
    std::string m_strBackground {};
    // The current movie: what is told of it, and its file, to start it
    // again in a new web process.
    SGivenMovie m_movie {};
    unsigned m_nMovieGeneration { 0 };
    // The current page's identity and address.
    std::string m_strPageId {};
    std::string m_strPageUrl {};
    LONG m_nFrame { 0 };
    // The movie made ready ahead: its file (empty for none), the number of
    // the page's prepare, how it was made, and whether the pending start
    // swaps it in.
    std::optional<SGivenMovie> m_prepared {};
    unsigned m_nPrepareGeneration { 0 };
    LONG m_nPreparedScale { 0 };
    bool m_bStartPrepared { false };
    bool m_bPrepareSent { false };
    bool m_bPreparedReady { false };
    bool m_bWarmedUp { false };
    CSavedObjects m_saved {};
};
