#include "control/RuffleView.h"

#include "control/EngineFiles.h"
#include "control/EnginePage.h"
#include "control/FrameReports.h"
#include "platform/HostPath.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <webkit2/webkit2.h>

namespace {

constexpr const char* Scheme = "quorvel-control";
constexpr const char* PageUrl = "quorvel-control://engine/index.html";

std::string ColourToCss(LONG rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", unsigned(rgb) & 0xFFFFFFu);
    return text;
}

std::string JsString(const std::string& text)
{
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += char(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            quoted += escape;
        } else {
            quoted += char(c);
        }
    }
    return quoted + "\"";
}

void FinishWith(
    WebKitURISchemeRequest* request, const void* data, size_t length, const char* mimeType, bool copy)
{
    GInputStream* stream = copy
        ? g_memory_input_stream_new_from_data(g_memdup2(data, length), gssize(length), g_free)
        : g_memory_input_stream_new_from_data(data, gssize(length), nullptr);
    WebKitURISchemeResponse* response = webkit_uri_scheme_response_new(stream, gint64(length));
    webkit_uri_scheme_response_set_status(response, 200, "OK");
    webkit_uri_scheme_response_set_content_type(response, mimeType);
    // The engine compiles its WebAssembly while it streams in only when the
    // type is in the headers too.
    SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    soup_message_headers_append(headers, "Content-Type", mimeType);
    soup_message_headers_append(headers, "Access-Control-Allow-Origin", "*");
    webkit_uri_scheme_response_set_http_headers(response, headers);
    webkit_uri_scheme_request_finish_with_response(request, response);
    g_object_unref(response);
    g_object_unref(stream);
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

} // namespace

CRuffleView::CRuffleView(FSCommandHandler onFSCommand)
    : m_onFSCommand(std::move(onFSCommand))
{
    WebKitUserContentManager* content = webkit_user_content_manager_new();
    webkit_user_content_manager_register_script_message_handler(content, "quorvel");
    g_signal_connect(content, "script-message-received::quorvel", G_CALLBACK(OnScriptMessage), this);

    m_pView = WEBKIT_WEB_VIEW(g_object_new(
        WEBKIT_TYPE_WEB_VIEW, "web-context", SharedContext(), "user-content-manager", content, nullptr));
    g_object_unref(content);
    g_object_ref_sink(m_pView);
    g_object_set_data(G_OBJECT(m_pView), "quorvel-view", this);

    WebKitSettings* settings = webkit_web_view_get_settings(m_pView);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    webkit_settings_set_enable_write_console_messages_to_stdout(
        settings, std::getenv("QUORVEL_CONTROL_DEBUG") != nullptr);
    webkit_settings_set_media_playback_requires_user_gesture(settings, FALSE);
    // The engine's own menu is off; the web view's must never show either.
    g_signal_connect(m_pView, "context-menu",
        G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer) {
            return TRUE;
        }),
        nullptr);
    GdkRGBA black { 0, 0, 0, 1 };
    webkit_web_view_set_background_color(m_pView, &black);
    webkit_web_view_load_uri(m_pView, PageUrl);
}

CRuffleView::~CRuffleView()
{
    if (m_pView) {
        g_object_set_data(G_OBJECT(m_pView), "quorvel-view", nullptr);
        g_signal_handlers_disconnect_by_data(webkit_web_view_get_user_content_manager(m_pView), this);
        GtkWidget* widget = GTK_WIDGET(m_pView);
        if (GtkWidget* parent = gtk_widget_get_parent(widget))
            gtk_container_remove(GTK_CONTAINER(parent), widget);
        g_object_unref(m_pView);
    }
}

GtkWidget* CRuffleView::Widget() const
{
    return GTK_WIDGET(m_pView);
}

void CRuffleView::ServeRequestFor(CRuffleView* self, WebKitURISchemeRequest* request)
{
    std::string path = webkit_uri_scheme_request_get_path(request);
    if (path == "/index.html") {
        std::string_view page = EnginePage();
        FinishWith(request, page.data(), page.size(), "text/html", false);
        return;
    }
    if (path.starts_with("/movie/") && self && !self->m_movie.empty()) {
        FinishWith(
            request, self->m_movie.data(), self->m_movie.size(), "application/x-shockwave-flash", true);
        return;
    }
    if (const EngineFile* file = FindEngineFile(path.substr(1))) {
        FinishWith(
            request, file->bytes.data(), file->bytes.size(), std::string(file->mimeType).c_str(), false);
        return;
    }
    GError* error = g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "%s: no such file", path.c_str());
    webkit_uri_scheme_request_finish_error(request, error);
    g_error_free(error);
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
        if (member && jsc_value_is_string(member)) {
            char* raw = jsc_value_to_string(member);
            text = raw;
            g_free(raw);
        }
        if (member)
            g_object_unref(member);
        return text;
    };
    std::string type = property("type");
    if (type == "fscommand")
        self->HandleMessage(type, property("command"), property("args"));
    else
        self->HandleMessage(type, property("message"), {});
}

void CRuffleView::HandleMessage(const std::string& type, const std::string& first, const std::string& second)
{
    if (type == "ready") {
        m_bPageReady = true;
        if (m_bMoviePending)
            StartMovie();
    } else if (type == "fscommand") {
        if (first == FrameReportCommand) {
            m_nFrame = LONG(std::strtol(second.c_str(), nullptr, 10));
            return;
        }
        if (m_onFSCommand)
            m_onFSCommand(first, second);
    } else if (type == "error") {
        std::fprintf(stderr, "quorvel: the movie could not be played: %s\n", first.c_str());
    }
}

void CRuffleView::Run(const std::string& script)
{
    webkit_web_view_evaluate_javascript(
        m_pView, script.c_str(), gssize(script.size()), nullptr, nullptr, nullptr, nullptr, nullptr);
}

void CRuffleView::SetScaleMode(LONG mode)
{
    m_nScaleMode = (mode >= 0 && mode <= 3) ? mode : 0;
}

void CRuffleView::SetBackgroundColor(LONG rgb)
{
    m_strBackground = ColourToCss(rgb);
    if (m_bPageReady)
        Run("window.quorvel.background(" + JsString(m_strBackground) + ")");
}

bool CRuffleView::LoadMovie(LONG, const std::string& path)
{
    auto host = platform::ToHostPath(path.c_str());
    if (!host)
        return false;
    std::ifstream in(*host, std::ios::binary);
    if (!in)
        return false;
    std::vector<BYTE> bytes((std::istreambuf_iterator<char>(in)), {});
    auto reporting = AddFrameReports(bytes);
    m_movie = reporting ? std::move(*reporting) : std::move(bytes);
    ++m_nMovieGeneration;
    m_nFrame = 0;
    m_bMoviePending = true;
    if (m_bPageReady)
        StartMovie();
    return true;
}

void CRuffleView::StartMovie()
{
    static const char* const s_scales[] = { "showAll", "noBorder", "exactFit", "noScale" };
    m_bMoviePending = false;
    std::string url = std::string(Scheme) + "://engine/movie/" + std::to_string(m_nMovieGeneration) + ".swf";
    std::string options = "{scale:" + JsString(s_scales[m_nScaleMode])
        + ",background:" + (m_strBackground.empty() ? std::string("null") : JsString(m_strBackground)) + "}";
    Run("window.quorvel.load(" + JsString(url) + "," + options + ")");
}

void CRuffleView::Play()
{
    if (m_bPageReady)
        Run("window.quorvel.play()");
}

void CRuffleView::Stop()
{
    if (m_bPageReady)
        Run("window.quorvel.stop()");
}
