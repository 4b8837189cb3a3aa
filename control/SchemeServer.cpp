#include "control/SchemeServer.h"

#include "control/Debugging.h"
#include "control/DeviceFonts.h"
#include "control/EngineFiles.h"
#include "control/PackageFiles.h"
#include "platform/Say.h"
#include "platform/Timeline.h"

#include <fcntl.h>
#include <gio/gunixinputstream.h>
#include <span>
#include <sys/stat.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

namespace {

// The key under which a view names its package's server.
constexpr const char* PackageServerKey = "quorvel-package-server";

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

} // namespace

const CDeviceFonts& SystemFonts()
{
    static const CDeviceFonts s_fonts = CDeviceFonts::FromFontconfig();
    return s_fonts;
}

void CPackageServer::SetMovie(std::string folder, std::string name, std::shared_ptr<MovieToServe> movie)
{
    m_strFolder = std::move(folder);
    m_strMovieName = std::move(name);
    m_pMovie = std::move(movie);
}

void CPackageServer::SetPrepared(std::string name, std::shared_ptr<MovieToServe> movie)
{
    m_strPreparedName = std::move(name);
    m_pPrepared = std::move(movie);
}

std::shared_ptr<MovieToServe> CPackageServer::TakePrepared()
{
    m_strPreparedName.clear();
    return std::move(m_pPrepared);
}

void CPackageServer::Attach(WebKitWebView* view, CPackageServer* server)
{
    g_object_set_data(G_OBJECT(view), PackageServerKey, server);
}

void CPackageServer::Serve(WebKitURISchemeRequest* request, const std::string& path)
{
    std::optional<std::string> name = PackageFileName(path);
    if (!name) {
        FinishNotFound(request, path);
        return;
    }
    std::string type(ContentTypeFor(*name));
    // The movie being started, or the one made ready ahead, comes from
    // memory, once: the engine asks for it first, and anything that asks
    // later gets the file as it is.
    std::shared_ptr<MovieToServe>* slot = nullptr;
    if (m_pMovie && *name == m_strMovieName)
        slot = &m_pMovie;
    else if (m_pPrepared && *name == m_strPreparedName)
        slot = &m_pPrepared;
    if (slot) {
        platform::TimelineMark("movie requested");
        std::shared_ptr<MovieToServe> movie = std::move(*slot);
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
        DebugSay("not in the package: %s", name->c_str());
        FinishNotFound(request, *name);
        return;
    }
    FinishWithFile(request, *file, type.c_str());
}

void ServeControlRequest(WebKitURISchemeRequest* request)
{
    std::string uri = webkit_uri_scheme_request_get_uri(request);
    std::string path = webkit_uri_scheme_request_get_path(request);
    DebugSay("the engine asks for %s", uri.c_str());
    if (uri.starts_with(PackageBase)) {
        WebKitWebView* view = webkit_uri_scheme_request_get_web_view(request);
        auto* server = view
            ? static_cast<CPackageServer*>(g_object_get_data(G_OBJECT(view), PackageServerKey))
            : nullptr;
        if (server)
            server->Serve(request, uri.substr(PackageBase.size()));
        else
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
