#include "control/RuffleView.h"

#include "control/DeviceFonts.h"
#include "control/EngineFiles.h"
#include "control/FrameReports.h"
#include "control/JsonObject.h"
#include "control/LinkOpener.h"
#include "control/LinkPolicy.h"
#include "control/MovieText.h"
#include "control/PackageFiles.h"
#include "control/SessionBus.h"
#include "platform/FlashControlAbi.h"
#include "platform/HostPath.h"
#include "platform/MappedFile.h"
#include "platform/Timeline.h"
#include "platform/gtk/ProcessEnding.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gio/gunixinputstream.h>
#include <span>
#include <sys/stat.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

// The movie being started: its file, mapped, and how its frame reports go
// in (FrameReports.h).
struct MovieToServe {
    CMappedFile file {};
    std::optional<CFrameReportPlan> plan {};
};

namespace {

constexpr const char* Scheme = "quorvel-control";
constexpr const char* PageUrl = "quorvel-control://engine/index.html";
// Every page the process loads has an identity of its own, in its address.
unsigned s_nPagesLoaded = 0;
// How long the view waits, as it goes, for the movie to write what it saved.
constexpr gint64 UnloadWaitMicroseconds = 2 * G_USEC_PER_SEC;
// A web process that ends this many times within this long is not started
// again.
constexpr size_t WebProcessEndLimit = 3;
constexpr gint64 WebProcessEndWindow = 60 * G_USEC_PER_SEC;
// A web process whose page has not said it is ready this long after it was
// asked for counts as one that ended: it is ended and started again. A busy
// machine starts the engine in a few seconds, a hung process never does.
// The engine has as long again to start a movie it is given (its
// WebAssembly compiled, a player made), and one second more for every 2 MB
// of the movie.
constexpr guint PageStartSeconds = 30;
constexpr int MovieBytesPerSecond = 2 << 20;
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

guint MovieStartLimit(std::uint64_t movieBytes)
{
    return PageStartLimit() + guint(movieBytes / MovieBytesPerSecond);
}

bool Debugging()
{
    const char* debug = std::getenv("QUORVEL_CONTROL_DEBUG");
    return debug && *debug && std::string(debug) != "0";
}

std::string ColourToCss(LONG rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", unsigned(rgb) & 0xFFFFFFu);
    return text;
}

void FinishWithStream(
    WebKitURISchemeRequest* request, GInputStream* stream, gint64 length, const char* mimeType)
{
    WebKitURISchemeResponse* response = webkit_uri_scheme_response_new(stream, length);
    webkit_uri_scheme_response_set_status(response, 200, "OK");
    webkit_uri_scheme_response_set_content_type(response, mimeType);
    // The engine compiles its WebAssembly while it streams in only when the
    // type is in the headers too.
    SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    soup_message_headers_append(headers, "Content-Type", mimeType);
    soup_message_headers_append(headers, "Access-Control-Allow-Origin", "*");
    soup_message_headers_append(headers, "Cache-Control", "no-store");
    webkit_uri_scheme_response_set_http_headers(response, headers);
    webkit_uri_scheme_request_finish_with_response(request, response);
    g_object_unref(response);
}

void FinishWithBytes(WebKitURISchemeRequest* request, GBytes* bytes, const char* mimeType)
{
    GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
    FinishWithStream(request, stream, gint64(g_bytes_get_size(bytes)), mimeType);
    g_object_unref(stream);
}

void FinishNotFound(WebKitURISchemeRequest* request, const std::string& what)
{
    GError* error = g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "%s: no such file", what.c_str());
    webkit_uri_scheme_request_finish_error(request, error);
    g_error_free(error);
}

// The system's fonts for CJK device text, asked of fontconfig once.
const CDeviceFonts& SystemFonts()
{
    static const CDeviceFonts s_fonts = CDeviceFonts::FromFontconfig();
    return s_fonts;
}

// Streams an open file, whose descriptor the response then owns.
void FinishWithFile(WebKitURISchemeRequest* request, const PackageFile& file, const char* mimeType)
{
    GInputStream* stream = g_unix_input_stream_new(file.fd, TRUE);
    FinishWithStream(request, stream, gint64(file.size), mimeType);
    g_object_unref(stream);
}

void ServeFont(WebKitURISchemeRequest* request, const std::string& name)
{
    // Only a file fontconfig chose and the fonts offered: its path is the
    // system's (links followed, as fontconfig follows them), not a movie's.
    std::optional<std::string> path = SystemFonts().FileForRequest(name);
    int fd = path ? open(path->c_str(), O_RDONLY | O_CLOEXEC) : -1;
    struct stat status { };
    if (fd >= 0 && (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
        close(fd);
        fd = -1;
    }
    if (fd < 0) {
        FinishNotFound(request, "fonts/" + name);
        return;
    }
    FinishWithFile(
        request, PackageFile { fd, std::uint64_t(status.st_size), {} }, CDeviceFonts::ContentTypeOf(*path));
}

WebKitWebContext* SharedContext()
{
    // One context per process, shared by every view: a scheme can only be
    // registered once, and the handler finds its view from the request.
    static WebKitWebContext* s_context = [] {
        // The web process inherits our environment, and its script engine
        // reads its tuning from there. By default the engine's WebAssembly is
        // recompiled by the optimising tier while it is still starting up,
        // which on a two-core machine holds the first frame back by a second
        // or more; a higher threshold leaves that tier to code that stays
        // hot. An explicit setting of the user's wins.
        g_setenv("JSC_thresholdForOMGOptimizeAfterWarmUp", "5000000", FALSE);
        // The web processes want a session bus; without the user's they get
        // ours (SessionBus.h).
        CSessionBus::EnsureForWebProcesses();
        // Ephemeral: the web view keeps nothing on disk. What movies save is
        // kept by the control itself (CSavedObjects), per package.
        WebKitWebContext* context = webkit_web_context_new_ephemeral();
        // The engine needs a valid language tag even under the C locale.
        const char* languages[] = { "en-US", nullptr };
        webkit_web_context_set_preferred_languages(context, languages);
        webkit_web_context_set_cache_model(context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
        WebKitSecurityManager* security = webkit_web_context_get_security_manager(context);
        webkit_security_manager_register_uri_scheme_as_secure(security, Scheme);
        webkit_security_manager_register_uri_scheme_as_cors_enabled(security, Scheme);
        webkit_web_context_register_uri_scheme(
            context, Scheme,
            [](WebKitURISchemeRequest* request, gpointer) {
                WebKitWebView* view = webkit_uri_scheme_request_get_web_view(request);
                auto* self = view
                    ? static_cast<CRuffleView*>(g_object_get_data(G_OBJECT(view), "quorvel-view"))
                    : nullptr;
                CRuffleView::ServeRequestFor(self, request);
            },
            nullptr, nullptr);
        return context;
    }();
    return s_context;
}

bool TimelineWanted()
{
    const char* timeline = std::getenv("QUORVEL_TIMELINE");
    return timeline && *timeline;
}

} // namespace

CRuffleView::CRuffleView(FSCommandHandler onFSCommand)
    : m_onFSCommand(std::move(onFSCommand))
{
    WebKitUserContentManager* content = webkit_user_content_manager_new();
    webkit_user_content_manager_register_script_message_handler(content, "quorvel");
    g_signal_connect(content, "script-message-received::quorvel", G_CALLBACK(OnScriptMessage), this);
    AddTestPageScript(content);
    if (TimelineWanted()) {
        const EngineFile* timeline = FindEngineFile("timeline.js");
        std::string source(timeline->bytes.begin(), timeline->bytes.end());
        WebKitUserScript* script
            = webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
        webkit_user_content_manager_add_script(content, script);
        webkit_user_script_unref(script);
    }

    // Sound may start without a click, as it does in a projector: with the
    // default policy the engine's audio stays suspended, and a movie with
    // streaming sound stands still, until the user clicks.
    WebKitWebsitePolicies* policies
        = webkit_website_policies_new_with_policies("autoplay", WEBKIT_AUTOPLAY_ALLOW, nullptr);
    m_pView = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", SharedContext(),
        "user-content-manager", content, "website-policies", policies, nullptr));
    g_object_unref(policies);
    g_object_unref(content);
    g_object_ref_sink(m_pView);
    g_object_set_data(G_OBJECT(m_pView), "quorvel-view", this);

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
    g_signal_connect(m_pView, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(m_pView, "create",
        G_CALLBACK(+[](WebKitWebView*, WebKitNavigationAction* action, gpointer data) -> GtkWidget* {
            if (WebKitURIRequest* request = webkit_navigation_action_get_request(action))
                static_cast<CRuffleView*>(data)->OpenLink(webkit_uri_request_get_uri(request));
            return nullptr;
        }),
        this);
    // The engine comes back when its web process ends.
    g_signal_connect(m_pView, "web-process-terminated",
        G_CALLBACK(+[](WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer data) {
            static_cast<CRuffleView*>(data)->OnWebProcessEnded(int(reason));
        }),
        this);
    // Keys go to the movie whenever the window has the keyboard.
    g_signal_connect(m_pView, "focus-in-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer data) {
        static_cast<CRuffleView*>(data)->Command("focus");
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

void CRuffleView::AddTestPageScript(WebKitUserContentManager* content)
{
    // For the tests only: a script that makes the engine misbehave, run in
    // every page before the page's own scripts.
    const char* path = std::getenv("QUORVEL_TEST_PAGE_SCRIPT");
    gchar* source = nullptr;
    if (!path || !*path || !g_file_get_contents(path, &source, nullptr, nullptr))
        return;
    WebKitUserScript* script = webkit_user_script_new(source, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(content, script);
    webkit_user_script_unref(script);
    g_free(source);
}

void CRuffleView::Prepare()
{
    m_bPrepared = true;
    m_bWarm = true;
    WarmWhenIdle();
}

void CRuffleView::Adopt(FSCommandHandler onFSCommand)
{
    m_onFSCommand = std::move(onFSCommand);
    m_bPrepared = false;
}

void CRuffleView::WarmWhenIdle()
{
    if (!m_bWarm || !m_bPageReady || m_bMoviePending)
        return;
    m_bWarm = false;
    Command("warm");
    Watch(EWatch::Warm, PageStartLimit());
}

CRuffleView::~CRuffleView()
{
    if (!m_pView)
        return;
    StopPageWatch();
    StopWatch();
    if (m_nEndPause)
        g_source_remove(m_nEndPause);
    // Removing the movie from the page stops its sound and makes the engine
    // write what it saved; the page says when that is done.
    if (m_bPageReady && m_nMovieGeneration > 0) {
        Command("unload");
        gint64 deadline = g_get_monotonic_time() + UnloadWaitMicroseconds;
        while (!m_bUnloaded && g_get_monotonic_time() < deadline) {
            if (!g_main_context_iteration(nullptr, FALSE))
                g_usleep(1000);
        }
    }
    g_object_set_data(G_OBJECT(m_pView), "quorvel-view", nullptr);
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_user_content_manager(m_pView), this);
    g_signal_handlers_disconnect_by_data(m_pView, this);
    GtkWidget* widget = GTK_WIDGET(m_pView);
    if (GtkWidget* parent = gtk_widget_get_parent(widget))
        gtk_container_remove(GTK_CONTAINER(parent), widget);
    g_object_unref(m_pView);
}

void CRuffleView::LoadPage()
{
    m_strPageId = std::to_string(++s_nPagesLoaded);
    m_strPageUrl = std::string(PageUrl) + "?page=" + m_strPageId;
    webkit_web_view_load_uri(m_pView, m_strPageUrl.c_str());
    StopPageWatch();
    m_nPageWatch = g_timeout_add_seconds(
        PageStartLimit(),
        +[](gpointer data) {
            auto* self = static_cast<CRuffleView*>(data);
            self->m_nPageWatch = 0;
            self->OnPageOverdue();
            return gboolean(G_SOURCE_REMOVE);
        },
        this);
}

void CRuffleView::StopPageWatch()
{
    if (m_nPageWatch)
        g_source_remove(m_nPageWatch);
    m_nPageWatch = 0;
}

void CRuffleView::Watch(EWatch what, guint seconds)
{
    StopWatch();
    m_eWatch = what;
    m_nWatchSeconds = seconds;
    m_nWatch = g_timeout_add_seconds(
        seconds,
        +[](gpointer data) {
            auto* self = static_cast<CRuffleView*>(data);
            self->m_nWatch = 0;
            char why[96];
            std::snprintf(why, sizeof why, "did not %s within %u s",
                self->m_eWatch == EWatch::Movie ? "start the movie" : "warm up", self->m_nWatchSeconds);
            self->OnEngineFailed(why);
            return gboolean(G_SOURCE_REMOVE);
        },
        this);
}

void CRuffleView::StopWatch(EWatch what)
{
    if (m_nWatch && (what == EWatch::Any || what == m_eWatch)) {
        g_source_remove(m_nWatch);
        m_nWatch = 0;
    }
}

void CRuffleView::OnPageOverdue()
{
    if (m_bPageReady)
        return;
    char why[64];
    std::snprintf(why, sizeof why, "did not start within %u s", PageStartLimit());
    OnEngineFailed(why);
}

void CRuffleView::OnEngineFailed(const std::string& why)
{
    // A player asked to end takes its web processes with it: nothing of
    // theirs is started again.
    if (platform::ProcessEnding())
        return;
    StopPageWatch();
    StopWatch();
    m_bPageReady = false;
    if (m_bPrepared) {
        // Nobody is told: the control that takes the view drops it.
        m_bBroken = true;
        webkit_web_view_terminate_web_process(m_pView);
        return;
    }
    if (!CountEngineFailure())
        return;
    std::fprintf(stderr, "quorvel: the movie engine %s; starting it again\n", why.c_str());
    // The process is ended on purpose: its end is not counted again.
    webkit_web_view_terminate_web_process(m_pView);
    Restart();
}

void CRuffleView::OnWebProcessEnded(int reason)
{
    // Only the control ends a process through the view (OnEngineFailed), and
    // it starts the next one itself: should this news come after the new
    // page is up, it must not mark that page as gone.
    if (reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API)
        return;
    m_bPageReady = false;
    m_bSavedDataSent = false;
    StopPageWatch();
    StopWatch();
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
            auto* self = static_cast<CRuffleView*>(data);
            self->m_nEndPause = 0;
            self->AfterWebProcessEnded(self->m_nEndReason);
            return gboolean(G_SOURCE_REMOVE);
        },
        this);
}

void CRuffleView::AfterWebProcessEnded(int reason)
{
    if (platform::ProcessEnding())
        return;
    if (!CountEngineFailure())
        return;
    std::fprintf(stderr, "quorvel: the movie engine ended (%s); starting it again\n",
        reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? "out of memory" : "crashed");
    Restart();
}

bool CRuffleView::CountEngineFailure()
{
    gint64 now = g_get_monotonic_time();
    std::erase_if(m_webProcessEnds, [now](std::int64_t at) { return now - at > WebProcessEndWindow; });
    m_webProcessEnds.push_back(now);
    if (m_webProcessEnds.size() < WebProcessEndLimit)
        return true;
    StopPageWatch();
    StopWatch();
    std::fprintf(stderr, "quorvel: the movie engine keeps failing; the player ends\n");
    GtkWidget* toplevel = gtk_widget_get_toplevel(GTK_WIDGET(m_pView));
    GtkWidget* message = gtk_message_dialog_new(GTK_IS_WINDOW(toplevel) ? GTK_WINDOW(toplevel) : nullptr,
        GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK,
        "The movie engine stopped working %zu times within a minute. The player ends.",
        m_webProcessEnds.size());
    gtk_window_set_title(GTK_WINDOW(message), "Quorvel");
    gtk_dialog_run(GTK_DIALOG(message));
    gtk_widget_destroy(message);
    // The container ends as when a movie quits.
    if (m_onFSCommand)
        m_onFSCommand("quit", "");
    return false;
}

void CRuffleView::Restart()
{
    m_bPageReady = false;
    m_bSavedDataSent = false;
    // The page comes up again, and with it the movie, from its file.
    if (!m_strMoviePath.empty())
        LoadMovie(0, m_strMoviePath);
    LoadPage();
}

GtkWidget* CRuffleView::Widget() const
{
    return GTK_WIDGET(m_pView);
}

void CRuffleView::ServeRequestFor(CRuffleView* self, WebKitURISchemeRequest* request)
{
    std::string uri = webkit_uri_scheme_request_get_uri(request);
    std::string path = webkit_uri_scheme_request_get_path(request);
    if (uri.starts_with(PackageBase)) {
        if (self) {
            self->ServePackageFile(request, uri.substr(PackageBase.size()));
            return;
        }
        FinishNotFound(request, path);
        return;
    }
    if (!uri.starts_with("quorvel-control://engine/")) {
        FinishNotFound(request, path);
        return;
    }
    if (path == "/index.html")
        platform::TimelineMark("web process up");
    if (path.starts_with("/fonts/")) {
        ServeFont(request, path.substr(7));
        return;
    }
    if (const EngineFile* file = FindEngineFile(path.substr(1))) {
        GBytes* bytes = g_bytes_new_static(file->bytes.data(), file->bytes.size());
        FinishWithBytes(request, bytes, std::string(file->mimeType).c_str());
        g_bytes_unref(bytes);
        return;
    }
    FinishNotFound(request, path);
}

void CRuffleView::ServePackageFile(WebKitURISchemeRequest* request, const std::string& path)
{
    std::optional<std::string> name = PackageFileName(path);
    if (!name) {
        FinishNotFound(request, path);
        return;
    }
    std::string type(ContentTypeFor(*name));
    // The movie being started comes from memory, once: the engine asks for
    // it first, and anything that asks later gets the file as it is.
    if (m_pMovie && *name == m_strMovieName) {
        platform::TimelineMark("movie requested");
        std::shared_ptr<MovieToServe> movie = std::move(m_pMovie);
        // Each piece keeps the whole (the mapping, the reports) alive until
        // the stream has handed it on.
        GInputStream* stream = g_memory_input_stream_new();
        for (const auto& piece : movie->plan->Pieces()) {
            std::span<const BYTE> part = movie->plan->BytesOf(piece);
            GBytes* bytes = g_bytes_new_with_free_func(
                part.data(), part.size(),
                +[](gpointer keep) { delete static_cast<std::shared_ptr<MovieToServe>*>(keep); },
                new std::shared_ptr<MovieToServe>(movie));
            g_memory_input_stream_add_bytes(G_MEMORY_INPUT_STREAM(stream), bytes);
            g_bytes_unref(bytes);
        }
        FinishWithStream(request, stream, gint64(movie->plan->Size()), type.c_str());
        g_object_unref(stream);
        return;
    }
    std::optional<PackageFile> file = OpenPackageFile(m_strFolder, *name);
    if (!file) {
        if (Debugging())
            std::fprintf(stderr, "quorvel: not in the package: %s\n", name->c_str());
        FinishNotFound(request, *name);
        return;
    }
    FinishWithFile(request, *file, type.c_str());
}

int CRuffleView::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, int type, void* data)
{
    auto* self = static_cast<CRuffleView*>(data);
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION
        && type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
        return FALSE;
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    std::string uri = request ? webkit_uri_request_get_uri(request) : "";
    if (Debugging())
        std::fprintf(stderr, "quorvel: the page asks to go to %s (%s)\n", uri.c_str(),
            type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION ? "navigation" : "new window");
    // Only the engine's own page, and only before it has come up.
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && !self->m_bPageReady
        && uri == self->m_strPageUrl) {
        webkit_policy_decision_use(decision);
        return TRUE;
    }
    webkit_policy_decision_ignore(decision);
    self->OpenLink(uri);
    return TRUE;
}

void CRuffleView::OpenLink(const std::string& url)
{
    LinkDecision decision = DecideLink(url, m_strFolder);
    if (decision.kind == LinkDecision::Kind::Refused) {
        std::fprintf(stderr, "quorvel: link refused: %s\n", decision.target.c_str());
        return;
    }
    OpenLinkOnDesktop(decision.target, decision.link, CSessionBus::IsOurs());
}

void CRuffleView::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, void* data)
{
    auto* self = static_cast<CRuffleView*>(data);
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    if (!jsc_value_is_object(value))
        return;
    auto property = [&](const char* name) {
        JSCValue* member = jsc_value_object_get_property(value, name);
        std::string text;
        if (member && (jsc_value_is_string(member) || jsc_value_is_number(member))) {
            char* raw = jsc_value_to_string(member);
            text = raw;
            g_free(raw);
        }
        if (member)
            g_object_unref(member);
        return text;
    };
    // Only the current page speaks for the engine: a message of one that
    // has been replaced is dropped.
    if (property("page") != self->m_strPageId)
        return;
    std::string type = property("type");
    std::string load = property("load");
    if (type == "fscommand")
        self->HandleMessage(type, load, property("command"), property("args"));
    else if (type == "storage-set" || type == "storage-remove")
        self->HandleMessage(type, load, property("key"), property("value"));
    else if (type == "console")
        self->HandleMessage(type, load, property("level"), property("message"));
    else if (type == "link")
        self->HandleMessage(type, load, property("url"), {});
    else
        self->HandleMessage(type, load, property("message"), {});
}

void CRuffleView::HandleMessage(
    const std::string& type, const std::string& load, const std::string& first, const std::string& second)
{
    bool current = load == std::to_string(m_nMovieGeneration);
    if (type == "ready") {
        platform::TimelineMark("engine page loaded");
        m_bPageReady = true;
        StopPageWatch();
        if (Debugging())
            Command("debug");
        if (m_bMoviePending)
            StartMovie();
        WarmWhenIdle();
    } else if (type == "warm") {
        platform::TimelineMark("engine warm");
        StopWatch(EWatch::Warm);
    } else if (type == "timeline") {
        platform::TimelineMark(first.c_str());
    } else if (type == "fscommand") {
        if (first == FrameReportCommand) {
            // A report counts only for the movie that sent it: the last
            // movie's can still be on their way when the next one starts.
            if (current && m_nFrame != QV_FRAME_UNCOUNTED)
                m_nFrame = LONG(std::strtol(second.c_str(), nullptr, 10));
            return;
        }
        if (m_onFSCommand)
            m_onFSCommand(first, second);
    } else if (type == "storage-set") {
        m_saved.Set(first, second);
    } else if (type == "storage-remove") {
        m_saved.Remove(first);
    } else if (type == "storage-clear") {
        m_saved.Clear();
    } else if (type == "link") {
        OpenLink(first);
    } else if (type == "loaded") {
        if (current) {
            platform::TimelineMark("movie started");
            StopWatch(EWatch::Movie);
            FocusMovie();
        }
    } else if (type == "unloaded") {
        m_bUnloaded = true;
    } else if (type == "console") {
        std::fprintf(stderr, "quorvel: console %s: %s\n", first.c_str(), second.c_str());
    } else if (type == "error") {
        // The engine failed to start, to warm up or to take the current
        // movie; an error of an earlier movie's load is old news.
        if (current || load.empty() || load == "warm")
            OnEngineFailed("failed (" + first + ")");
    }
}

void CRuffleView::Command(const char* name, const std::string& json)
{
    // The page's one entry point, with the command's name and its argument
    // as JSON; nothing of either becomes script.
    static const char s_body[] = "window.quorvel.command(name, args);";
    gchar* valid = g_utf8_make_valid(json.c_str(), gssize(json.size()));
    GVariantDict arguments;
    g_variant_dict_init(&arguments, nullptr);
    g_variant_dict_insert(&arguments, "name", "s", name);
    g_variant_dict_insert(&arguments, "args", "s", valid);
    g_free(valid);
    webkit_web_view_call_async_javascript_function(m_pView, s_body, gssize(sizeof s_body - 1),
        g_variant_dict_end(&arguments), nullptr, nullptr, nullptr, nullptr, nullptr);
}

void CRuffleView::FocusMovie()
{
    if (gtk_widget_get_mapped(GTK_WIDGET(m_pView)))
        gtk_widget_grab_focus(GTK_WIDGET(m_pView));
    if (m_bPageReady)
        Command("focus");
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
    auto host = platform::ToHostPath(path.c_str());
    if (!host)
        return false;
    // The file is read through a mapping: its pages are the page cache's,
    // and the rewritten movie is served from them, with only the reports
    // held beside them.
    auto movie = std::make_shared<MovieToServe>();
    if (!movie->file.Open(path.c_str()))
        return false;
    std::span<const BYTE> bytes(movie->file.data(), movie->file.size());
    platform::TimelineMark("movie given");
    m_strMoviePath = path;
    size_t slash = host->rfind('/');
    m_strFolder = slash == std::string::npos ? std::string(".") : host->substr(0, slash ? slash : 1);
    m_strMovieName = slash == std::string::npos ? *host : host->substr(slash + 1);

    m_bCjkText = MovieShowsCjkText(bytes);
    movie->plan = PlanFrameReports(bytes);
    bool reporting = movie->plan.has_value();
    // A movie that cannot report its frames goes as it is: from its file,
    // like any other of the package.
    m_pMovie = reporting ? std::move(movie) : nullptr;
    ++m_nMovieGeneration;
    m_nFrame = reporting ? 0 : QV_FRAME_UNCOUNTED;
    m_bMoviePending = true;
    // From now until the engine says it started this movie.
    Watch(EWatch::Movie, MovieStartLimit(bytes.size()));
    if (m_bPageReady)
        StartMovie();
    return true;
}

void CRuffleView::StartMovie()
{
    static const char* const s_scales[] = { "showAll", "noBorder", "exactFit", "noScale" };
    m_bMoviePending = false;
    m_bWarm = false;
    if (!m_bSavedDataSent) {
        CJsonObject items;
        for (const auto& [key, value] : m_saved.Items())
            items.Add(key, value);
        Command("restore", CJsonObject().AddJson("items", items.Text()).Text());
        m_bSavedDataSent = true;
    }
    CJsonObject movie;
    movie.Add("id", std::to_string(m_nMovieGeneration))
        .Add("url", PackageUrl(m_strMovieName))
        .Add("base", PackageBase)
        .Add("scale", s_scales[m_nScaleMode]);
    AddBackground(movie, "background");
    if (m_bCjkText)
        movie.AddJson("fonts", SystemFonts().ConfigScript());
    else
        movie.AddNull("fonts");
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
