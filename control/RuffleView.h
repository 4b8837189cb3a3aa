#pragma once

#include "platform/Types.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitURISchemeRequest WebKitURISchemeRequest;
typedef struct _WebKitUserContentManager WebKitUserContentManager;
typedef struct _WebKitJavascriptResult WebKitJavascriptResult;

// The control's window: a web view running the movie engine, fed through a
// private URI scheme with the engine's files and the current movie.
class CRuffleView {
public:
    using FSCommandHandler = std::function<void(const std::string& command, const std::string& args)>;

    explicit CRuffleView(FSCommandHandler onFSCommand);
    ~CRuffleView();
    CRuffleView(const CRuffleView&) = delete;
    CRuffleView& operator=(const CRuffleView&) = delete;

    GtkWidget* Widget() const;

    // 0 shows the whole movie, 1 fills the view cropping the movie, 2 fits
    // it exactly, 3 keeps its size; others count as 0. Takes effect with the
    // next movie.
    void SetScaleMode(LONG mode);
    void SetBackgroundColor(LONG rgb);
    // False when the file cannot be read.
    bool LoadMovie(LONG layer, const std::string& path);
    void Play();
    void Stop();
    // The root timeline's frame, counted from 0, as the movie last reported
    // it; 0 before the first report.
    LONG FrameNum() const { return m_nFrame; }

    // Serves a request of the private scheme for the view it came from.
    static void ServeRequestFor(CRuffleView* self, WebKitURISchemeRequest* request);

private:
    static void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, void* self);
    void HandleMessage(const std::string& type, const std::string& first, const std::string& second);
    void Run(const std::string& script);
    void StartMovie();

    FSCommandHandler m_onFSCommand {};
    WebKitWebView* m_pView { nullptr };
    bool m_bPageReady { false };
    bool m_bMoviePending { false };
    LONG m_nScaleMode { 0 };
    std::string m_strBackground {};
    std::vector<BYTE> m_movie {};
    unsigned m_nMovieGeneration { 0 };
    LONG m_nFrame { 0 };
};
