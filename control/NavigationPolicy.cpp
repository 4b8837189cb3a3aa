#include "control/NavigationPolicy.h"

#include "control/Debugging.h"
#include "control/LinkOpener.h"
#include "control/LinkPolicy.h"
#include "control/SessionBus.h"
#include "platform/Say.h"

#include <webkit2/webkit2.h>

CNavigationPolicy::CNavigationPolicy(
    std::function<bool(const std::string&)> mayLoad, std::function<void(const std::string&)> openLink)
    : m_mayLoad(std::move(mayLoad))
    , m_openLink(std::move(openLink))
{
}

void CNavigationPolicy::Connect(WebKitWebView* view)
{
    g_signal_connect(view, "decide-policy",
        G_CALLBACK(+[](WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                        gpointer data) -> gboolean {
            auto* self = static_cast<CNavigationPolicy*>(data);
            if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION
                && type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
                return FALSE;
            WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
                WEBKIT_NAVIGATION_POLICY_DECISION(decision));
            WebKitURIRequest* request = webkit_navigation_action_get_request(action);
            std::string uri = request ? webkit_uri_request_get_uri(request) : "";
            DebugSay("the page asks to go to %s (%s)", uri.c_str(),
                type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION ? "navigation" : "new window");
            if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && self->m_mayLoad(uri)) {
                webkit_policy_decision_use(decision);
                return TRUE;
            }
            webkit_policy_decision_ignore(decision);
            self->m_openLink(uri);
            return TRUE;
        }),
        this);
    g_signal_connect(view, "create",
        G_CALLBACK(+[](WebKitWebView*, WebKitNavigationAction* action, gpointer data) -> GtkWidget* {
            if (WebKitURIRequest* request = webkit_navigation_action_get_request(action))
                static_cast<CNavigationPolicy*>(data)->m_openLink(webkit_uri_request_get_uri(request));
            return nullptr;
        }),
        this);
}

void CNavigationPolicy::Disconnect(WebKitWebView* view)
{
    g_signal_handlers_disconnect_by_data(view, this);
}

void OpenMovieLink(const std::string& url, const std::string& folder)
{
    LinkDecision decision = DecideLink(url, folder);
    if (decision.kind == LinkDecision::Kind::Refused) {
        platform::Say("link refused: %s", decision.target.c_str());
        return;
    }
    OpenLinkOnDesktop(decision.target, decision.link, CSessionBus::IsOurs());
}
