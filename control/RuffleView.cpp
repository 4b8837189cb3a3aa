#include "control/RuffleView.h"

#include "control/Debugging.h"
#include "control/DeviceFonts.h"
#include "control/EngineFiles.h"
#include "control/GivenMovie.h"
#include "control/JsonObject.h"
#include "control/PackageFiles.h"
#include "control/PageMessages.h"
#include "control/WebContext.h"
#include "platform/FlashControlAbi.h"
#include "platform/HostPath.h"
#include "platform/Say.h"
#include "platform/Timeline.h"
#include "platform/gtk/ProcessEnding.h"

#include <cstdio>
#include <cstdlib>
#include <span>
#include <webkit2/webkit2.h>

namespace {

constexpr const char* PageUrl = "quorvel-control://engine/index.html";
// Every page the process loads has an identity of its own, in its address.
unsigned s_nPagesLoaded = 0;
// How long the view waits, as it goes, for the movie to write what it saved.
// The page answers at once on an idle machine; a loaded one can hold its web
// process back for seconds, and what the movie saved is lost if the view
// goes first. A web process that ends meanwhile ends the wait.
constexpr gint64 UnloadWaitMicroseconds = 10 * G_USEC_PER_SEC;

void AddPageScript(WebKitUserContentManager* content, const char* source)
{
    WebKitUserScript* script = webkit_user_script_new(source, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(content, script);
    webkit_user_script_unref(script);
}

// The scripts run in every page before its own: for the tests only, one
// that makes the engine misbehave (QUORVEL_TEST_PAGE_SCRIPT names its
// file); for the start-up timeline, the page's timeline.js.
void AddPageScripts(WebKitUserContentManager* content)
{
    const char* path = std::getenv("QUORVEL_TEST_PAGE_SCRIPT");
    gchar* source = nullptr;
    if (path && *path && g_file_get_contents(path, &source, nullptr, nullptr)) {
        AddPageScript(content, source);
        g_free(source);
    }
    const char* timeline = std::getenv("QUORVEL_TIMELINE");
    if (timeline && *timeline) {
        const EngineFile* file = FindEngineFile("timeline.js");
        AddPageScript(content, std::string(file->bytes.begin(), file->bytes.end()).c_str());
    }
}

} // namespace

CRuffleView::CRuffleView(FSCommandHandler onFSCommand)
    : m_onFSCommand(std::move(onFSCommand))
    , m_supervisor({
          .endWebProcess =
              [this] {
                  m_bPageReady = false;
                  webkit_web_view_terminate_web_process(m_pView);
              },
          .restart = [this] { Restart(); },
          .quit =
              [this] {
                  if (m_onFSCommand)
                      m_onFSCommand("quit", "");
              },
          .widget = [this] { return GTK_WIDGET(m_pView); },
      })
    , m_navigation(
          // Only the engine's own page, and only before it has come up.
          [this](const std::string& uri) { return !m_bPageReady && uri == m_strPageUrl; },
          [this](const std::string& url) { OpenMovieLink(url, m_package.Folder()); })
{
    WebKitUserContentManager* content = webkit_user_content_manager_new();
    webkit_user_content_manager_register_script_message_handler(content, "quorvel");
    g_signal_connect(content, "script-message-received::quorvel", G_CALLBACK(OnScriptMessage), this);
    AddPageScripts(content);

    // Sound may start without a click, as it does in a projector: with the
    // default policy the engine's audio stays suspended, and a movie with
    // streaming sound stands still, until the user clicks.
    WebKitWebsitePolicies* policies
        = webkit_website_policies_new_with_policies("autoplay", WEBKIT_AUTOPLAY_ALLOW, nullptr);
    m_pView = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", SharedWebContext(),
        "user-content-manager", content, "website-policies", policies, nullptr));
    g_object_unref(policies);
    g_object_unref(content);
    g_object_ref_sink(m_pView);
    CPackageServer::Attach(m_pView, &m_package);

    WebKitSettings* settings = webkit_web_view_get_settings(m_pView);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    webkit_settings_set_media_playback_requires_user_gesture(settings, FALSE);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    // The view draws the page without its GPU compositor. Where GL is the
    // CPU's (no GPU, a virtual display), the compositor's own pass and the
    // hand-over of each frame to this process cost about a sixth of the
    // playing movie's CPU and some 15 MB (bench/README.md); the engine's
    // WebGL output still reaches the window, once per frame it draws.
    webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    // The engine's own menu is off; the web view's must never show either.
    g_signal_connect(m_pView, "context-menu",
        G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer) {
            return TRUE;
        }),
        nullptr);
    // The page stays: navigations and new windows become links.
    m_navigation.Connect(m_pView);
    // The engine comes back when its web process ends.
    g_signal_connect(m_pView, "web-process-terminated",
        G_CALLBACK(+[](WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer data) {
            static_cast<CRuffleView*>(data)->OnWebProcessEnded(int(reason));
        }),
        this);
    // Keys go to the movie whenever the window has the keyboard.
    g_signal_connect(m_pView, "focus-in-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer data) {
        auto* self = static_cast<CRuffleView*>(data);
        if (self->m_bPageReady)
            self->Command("focus");
        return FALSE;
    }),
        this);
    g_signal_connect(m_pView, "map",
        G_CALLBACK(+[](GtkWidget*, gpointer data) { static_cast<CRuffleView*>(data)->FocusMovie(); }), this);

    GdkRGBA black { 0, 0, 0, 1 };
    webkit_web_view_set_background_color(m_pView, &black);
    platform::TimelineMark("web view created");
    LoadPage();
}

CRuffleView::~CRuffleView()
{
    if (!m_pView)
        return;
    m_supervisor.Stop();
    Unload();
    CPackageServer::Attach(m_pView, nullptr);
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_user_content_manager(m_pView), this);
    g_signal_handlers_disconnect_by_data(m_pView, this);
    m_navigation.Disconnect(m_pView);
    GtkWidget* widget = GTK_WIDGET(m_pView);
    if (GtkWidget* parent = gtk_widget_get_parent(widget))
        gtk_container_remove(GTK_CONTAINER(parent), widget);
    g_object_unref(m_pView);
}

void CRuffleView::Unload(const char* occasion)
{
    if (!m_bPageReady || m_nMovieGeneration == 0 || m_bUnloaded)
        return;
    Command("unload");
    gint64 deadline = g_get_monotonic_time() + UnloadWaitMicroseconds;
    while (!m_bUnloaded && m_bPageReady && g_get_monotonic_time() < deadline) {
        if (!g_main_context_iteration(nullptr, FALSE))
            g_usleep(1000);
    }
    // A signal that ends the player ends its web processes too: that is
    // no news to whoever sent it.
    if (!m_bUnloaded && !platform::ProcessEnding())
        platform::Say("the movie engine did not answer %s; what the movie saved last may be lost", occasion);
}

GtkWidget* CRuffleView::Widget() const
{
    return GTK_WIDGET(m_pView);
}

void CRuffleView::Prepare()
{
    m_supervisor.SetPrepared(true);
    m_bWarm = true;
    WarmWhenIdle();
}

void CRuffleView::Adopt(FSCommandHandler onFSCommand)
{
    m_onFSCommand = std::move(onFSCommand);
    m_supervisor.SetPrepared(false);
}

void CRuffleView::WarmWhenIdle()
{
    if (!m_bWarm || !m_bPageReady || m_bMoviePending)
        return;
    m_bWarm = false;
    Command("warm");
    m_supervisor.WarmUpGiven();
}

void CRuffleView::LoadPage()
{
    m_strPageId = std::to_string(++s_nPagesLoaded);
    m_strPageUrl = std::string(PageUrl) + "?page=" + m_strPageId;
    webkit_web_view_load_uri(m_pView, m_strPageUrl.c_str());
    m_supervisor.PageLoading();
}

void CRuffleView::OnWebProcessEnded(int reason)
{
    if (reason != WEBKIT_WEB_PROCESS_TERMINATED_BY_API) {
        m_bPageReady = false;
        m_bSavedDataSent = false;
    }
    m_supervisor.WebProcessEnded(reason);
}

void CRuffleView::Restart()
{
    m_bPageReady = false;
    m_bSavedDataSent = false;
    // The page comes up again, and with it the movie, from its file.
    if (!m_movie.path.empty())
        LoadMovie(0, m_movie.path);
    LoadPage();
}

void CRuffleView::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, void* data)
{
    auto* self = static_cast<CRuffleView*>(data);
    std::optional<PageMessage> message = ReadPageMessage(result);
    // Only the current page speaks for the engine: a message of one that
    // has been replaced is dropped.
    if (message)
        DebugSay("page %s says %s %s (the current page: %s)", message->page.c_str(), message->type.c_str(),
            message->first.c_str(), self->m_strPageId.c_str());
    if (message && message->page == self->m_strPageId)
        self->HandleMessage(*message);
}

void CRuffleView::HandleMessage(const PageMessage& message)
{
    const std::string& type = message.type;
    const std::string& first = message.first;
    bool current = message.load == std::to_string(m_nMovieGeneration);
    if (type == "ready") {
        platform::TimelineMark("engine page loaded");
        m_bPageReady = true;
        m_supervisor.PageReady();
        if (ControlDebugging())
            Command("debug");
        if (m_bMoviePending)
            StartMovie();
        WarmWhenIdle();
    } else if (type == "warm") {
        platform::TimelineMark("engine warm");
        m_supervisor.WarmedUp();
        m_bWarmedUp = true;
        SendPrepare();
    } else if (type == "timeline") {
        platform::TimelineMark(first.c_str());
    } else if (type == "fscommand") {
        if (first == FrameReportCommand) {
            // A report counts only for the movie that sent it: the last
            // movie's can still be on their way when the next one starts.
            if (current && m_nFrame != QV_FRAME_UNCOUNTED)
                m_nFrame = LONG(std::strtol(message.second.c_str(), nullptr, 10));
            return;
        }
        if (m_onFSCommand)
            m_onFSCommand(first, message.second);
    } else if (type == "storage-set") {
        m_saved.Set(first, message.second);
    } else if (type == "storage-remove") {
        m_saved.Remove(first);
    } else if (type == "storage-clear") {
        m_saved.Clear();
    } else if (type == "link") {
        OpenMovieLink(first, m_package.Folder());
    } else if (type == "loaded") {
        if (current) {
            platform::TimelineMark("movie started");
            m_supervisor.MovieStarted();
            FocusMovie();
        }
    } else if (type == "prepared") {
        if (message.load == std::to_string(m_nPrepareGeneration))
            m_bPreparedReady = true;
    } else if (type == "unprepared") {
        // The page could not make the movie ready: it loads as usual.
        if (message.load == std::to_string(m_nPrepareGeneration))
            DropPrepared();
    } else if (type == "unloaded") {
        m_bUnloaded = true;
    } else if (type == "console") {
        DebugSay("console %s: %s", first.c_str(), message.second.c_str());
    } else if (type == "error") {
        // The engine failed to start, to warm up or to take the current
        // movie; an error of an earlier movie's load is old news.
        if (current || message.load.empty() || message.load == "warm")
            m_supervisor.PageFailed(first);
    }
}

void CRuffleView::Command(const char* name, const std::string& json)
{
    // The page's one entry point, with the command's name and its argument
    // as JSON; nothing of either becomes script.
    static const char s_body[] = "window.quorvel.command(name, args);";
    DebugSay("command %s %.200s", name, json.c_str());
    gchar* valid = g_utf8_make_valid(json.c_str(), gssize(json.size()));
    GVariantDict arguments;
    g_variant_dict_init(&arguments, nullptr);
    g_variant_dict_insert(&arguments, "name", "s", name);
    g_variant_dict_insert(&arguments, "args", "s", valid);
    g_free(valid);
    // When debugging, the log says whether each command ran.
    GAsyncReadyCallback ran = nullptr;
    if (ControlDebugging())
        ran = +[](GObject* view, GAsyncResult* result, gpointer name) {
            GError* error = nullptr;
            JSCValue* value = webkit_web_view_call_async_javascript_function_finish(
                WEBKIT_WEB_VIEW(view), result, &error);
            DebugSay("command %s %s%s", static_cast<const char*>(name), error ? "failed: " : "ran",
                error ? error->message : "");
            if (value)
                g_object_unref(value);
            if (error)
                g_error_free(error);
        };
    webkit_web_view_call_async_javascript_function(m_pView, s_body, gssize(sizeof s_body - 1),
        g_variant_dict_end(&arguments), nullptr, nullptr, nullptr, ran, const_cast<char*>(name));
}

void CRuffleView::FocusMovie()
{
    // A view made ahead is out of sight: the keys stay with the movie that shows.
    if (m_supervisor.Prepared())
        return;
    if (gtk_widget_get_mapped(GTK_WIDGET(m_pView)))
        gtk_widget_grab_focus(GTK_WIDGET(m_pView));
    if (m_bPageReady)
        Command("focus");
}

void CRuffleView::SetViewColour(const std::string& css)
{
    GdkRGBA colour { 0, 0, 0, 1 };
    if (!css.empty())
        gdk_rgba_parse(&colour, css.c_str());
    webkit_web_view_set_background_color(m_pView, &colour);
}

void CRuffleView::SetScaleMode(LONG mode)
{
    m_nScaleMode = (mode >= 0 && mode <= 3) ? mode : 0;
}

void CRuffleView::SetBackgroundColor(LONG rgb)
{
    m_strBackground = rgb < 0 ? std::string() : ColourToCss(rgb);
    if (m_bPageReady) {
        CJsonObject json;
        AddBackground(json, "color");
        Command("background", json.Text());
    }
}

void CRuffleView::AddBackground(CJsonObject& json, std::string_view key) const
{
    if (m_strBackground.empty())
        json.AddNull(key);
    else
        json.Add(key, m_strBackground);
}

void CRuffleView::SetSavedDataFolder(const std::string& folder)
{
    auto host = platform::ToHostPath(folder.c_str());
    m_saved.Open(host ? *host : std::string());
    m_bSavedDataSent = false;
}

bool CRuffleView::LoadMovie(LONG, const std::string& path)
{
    // The prepared movie is the page's already, when it was made as this
    // load would make it: the page swaps it in.
    if (m_prepared && path == m_prepared->path && m_bPageReady && !m_bMoviePending
        && m_nPreparedScale == m_nScaleMode
        && (m_strBackground.empty() || m_strBackground == m_prepared->stageColour)) {
        platform::TimelineMark("movie given");
        m_movie = std::move(*m_prepared);
        // What is left to serve of it (nothing once the engine has it) is
        // the current movie's now.
        std::shared_ptr<MovieToServe> rest = m_package.TakePrepared();
        DropPrepared();
        m_package.SetMovie(m_movie.folder, m_movie.name, std::move(rest));
        m_bStartPrepared = true;
        Given();
        StartMovie();
        return true;
    }
    std::optional<SGivenMovie> movie = SGivenMovie::Read(path);
    if (!movie)
        return false;
    platform::TimelineMark("movie given");
    DropPrepared();
    m_movie = std::move(*movie);
    // A movie that cannot report its frames goes as it is: from its file,
    // like any other of the package.
    m_package.SetMovie(m_movie.folder, m_movie.name, std::move(m_movie.served));
    m_bStartPrepared = false;
    Given();
    if (m_bPageReady)
        StartMovie();
    return true;
}

void CRuffleView::Given()
{
    ++m_nMovieGeneration;
    m_nFrame = m_movie.reporting ? 0 : QV_FRAME_UNCOUNTED;
    m_bMoviePending = true;
    // From now until the engine says it started this movie.
    m_supervisor.MovieGiven(m_movie.size);
}

void CRuffleView::PrepareMovie(const std::string& path)
{
    DropPrepared();
    bool first = m_nMovieGeneration == 0;
    // Beside a movie the page has been given, from its package; or the
    // first movie of a view that has none.
    if (m_bMoviePending || (!first && !m_bPageReady))
        return;
    std::optional<SGivenMovie> movie = SGivenMovie::Read(path);
    if (!movie || (!first && movie->folder != m_package.Folder()))
        return;
    if (first) {
        // Anything else the engine asks for comes from the movie's package,
        // and the view shows the movie's colour until it plays.
        m_package.SetMovie(movie->folder, {}, nullptr);
        SetViewColour(movie->stageColour);
    }
    m_nPreparedScale = m_nScaleMode;
    m_package.SetPrepared(movie->name, std::move(movie->served));
    m_prepared = std::move(movie);
    ++m_nPrepareGeneration;
    SendPrepare();
}

void CRuffleView::SendPrepare()
{
    // The page of a view without a movie makes one only once its warm-up
    // has settled: its engine is not started otherwise.
    if (!m_prepared || m_bPrepareSent || !m_bPageReady || (m_nMovieGeneration == 0 && !m_bWarmedUp))
        return;
    m_bPrepareSent = true;
    CJsonObject json;
    json.Add("key", std::to_string(m_nPrepareGeneration));
    // Its own colour from the start: a player that has run no frame yet
    // would otherwise clear to white when it is shown.
    AddMovieOptions(json, *m_prepared, m_nScaleMode, m_prepared->stageColour);
    Command("prepare", json.Text());
}

bool CRuffleView::ReadyFor(const std::string& path) const
{
    return m_prepared && m_prepared->path == path && m_bPreparedReady && m_bPageReady && !m_bMoviePending
        && !Broken();
}

void CRuffleView::DropPrepared()
{
    m_prepared.reset();
    m_bPrepareSent = false;
    m_bPreparedReady = false;
    m_package.TakePrepared();
}

void CRuffleView::StartMovie()
{
    m_bMoviePending = false;
    m_bWarm = false;
    if (!m_bSavedDataSent) {
        CJsonObject items;
        for (const auto& [key, value] : m_saved.Items())
            items.Add(key, value);
        Command("restore", CJsonObject().AddJson("items", items.Text()).Text());
        m_bSavedDataSent = true;
    }
    // Without a colour of the control's, the stage colour of the movie's
    // first frame: the engine clears to white until that tag runs, which
    // shows as a flash before the movie's first frame. The view and the
    // page show it too until the engine draws.
    const std::string& background = m_strBackground.empty() ? m_movie.stageColour : m_strBackground;
    SetViewColour(background);
    CJsonObject movie;
    movie.Add("id", std::to_string(m_nMovieGeneration));
    AddMovieOptions(movie, m_movie, m_nScaleMode, background);
    movie.AddJson("prepared", m_bStartPrepared ? "true" : "false");
    m_bStartPrepared = false;
    Command("load", movie.Text());
    FocusMovie();
}

void CRuffleView::Play()
{
    if (m_bPageReady)
        Command("play");
}

void CRuffleView::Stop()
{
    if (m_bPageReady)
        Command("stop");
}
