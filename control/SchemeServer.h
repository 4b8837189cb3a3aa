#pragma once

#include "control/FrameReports.h"
#include "platform/MappedFile.h"

#include <memory>
#include <optional>
#include <string>

typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitURISchemeRequest WebKitURISchemeRequest;

class CDeviceFonts;

// The control's private scheme. It serves the engine's page and files and
// the system's CJK fonts (quorvel-control://engine/...), and each view's
// package (quorvel-control://package/..., see PackageFiles.h): the current
// movie, rewritten to report its frames, and every other file of the
// workspace as it is. Responses carry status 200, their type and
// Cache-Control: no-store.
constexpr const char* ControlScheme = "quorvel-control";

// The movie being started: its file, mapped, and how its frame reports go
// in (FrameReports.h).
struct MovieToServe {
    CMappedFile file {};
    std::optional<CFrameReportPlan> plan {};
};

// What one view serves of its package.
class CPackageServer {
public:
    // The package's folder (the current movie's), and the movie's name in
    // it. `movie` is served, once, in place of that file: the first request
    // for it is the engine's (null for a movie served as it is).
    void SetMovie(std::string folder, std::string name, std::shared_ptr<MovieToServe> movie);
    // The movie made ready ahead of its turn, served once like the current
    // one from a slot of its own; SetMovie of another movie keeps it,
    // TakePrepared hands what is left of it over (null once it was served).
    void SetPrepared(std::string name, std::shared_ptr<MovieToServe> movie);
    std::shared_ptr<MovieToServe> TakePrepared();
    const std::string& Folder() const { return m_strFolder; }

    // Serves the package's file `path` (below quorvel-control://package/).
    void Serve(WebKitURISchemeRequest* request, const std::string& path);

    // `view`'s requests go to `server` (null: to none).
    static void Attach(WebKitWebView* view, CPackageServer* server);

private:
    std::string m_strFolder {};
    std::string m_strMovieName {};
    std::shared_ptr<MovieToServe> m_pMovie {};
    std::string m_strPreparedName {};
    std::shared_ptr<MovieToServe> m_pPrepared {};
};

// Serves a request of the private scheme, for the view it came from.
void ServeControlRequest(WebKitURISchemeRequest* request);

// The system's fonts for CJK device text, asked of fontconfig once.
const CDeviceFonts& SystemFonts();
