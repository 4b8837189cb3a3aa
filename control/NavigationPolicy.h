#pragma once

#include <functional>
#include <string>

typedef struct _WebKitWebView WebKitWebView;

// The engine's page never navigates and opens no windows: on a view, a
// navigation goes ahead only to the address `mayLoad` accepts (the engine's
// own page, before it has come up); every other navigation and every new
// window becomes a link, handed to `openLink`.
class CNavigationPolicy {
public:
    CNavigationPolicy(std::function<bool(const std::string& uri)> mayLoad,
        std::function<void(const std::string& url)> openLink);
    CNavigationPolicy(const CNavigationPolicy&) = delete;
    CNavigationPolicy& operator=(const CNavigationPolicy&) = delete;

    // Decides for `view` from now on, until the view goes (or Disconnect).
    void Connect(WebKitWebView* view);
    void Disconnect(WebKitWebView* view);

private:
    std::function<bool(const std::string&)> m_mayLoad;
    std::function<void(const std::string&)> m_openLink;
};

// A link of a movie of the package in `folder`: refused (a line on stderr),
// or opened on the desktop (LinkPolicy.h, LinkOpener.h).
void OpenMovieLink(const std::string& url, const std::string& folder);
