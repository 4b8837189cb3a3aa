#pragma once

#include <string>
#include <string_view>

// What becomes of a link that a movie opens (getURL, navigateToURL, a form
// it submits): the engine's page never goes anywhere, so every link is
// either handed to the desktop's default handler or refused.
struct LinkDecision {
    enum class Kind {
        Desktop, // `target` (a URI) goes to the desktop's handler for its scheme
        Refused, // `target` says why, for one line on stderr
    };
    Kind kind { Kind::Refused };
    std::string target {};
    // The link as the movie wrote it, for what the user is told: without
    // the page's wrapping, a file of the package by its relative path.
    std::string link {};
};

// The engine's page wraps the URLs of other schemes than the web's and the
// package's in this one ("quorvel-link:mailto:someone@example.org"), so that
// they reach the control; DecideLink unwraps them.
inline constexpr std::string_view WrappedLinkPrefix = "quorvel-link:";

// http, https and mailto URLs go to the desktop as they are. A name of the
// package (a relative link, resolved under the package's URL) is opened as
// the workspace file it names when that is a regular file. Any other scheme
// is refused.
LinkDecision DecideLink(std::string_view url, const std::string& packageFolder);
