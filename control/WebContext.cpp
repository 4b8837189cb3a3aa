#include "control/WebContext.h"

#include "control/SchemeServer.h"
#include "control/SessionBus.h"
#include "platform/Timeline.h"

#include <webkit2/webkit2.h>

WebKitWebContext* SharedWebContext()
{
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
        platform::TimelineMark("session bus up");
        WebKitWebContext* context = webkit_web_context_new_ephemeral();
        // The engine needs a valid language tag even under the C locale.
        const char* languages[] = { "en-US", nullptr };
        webkit_web_context_set_preferred_languages(context, languages);
        webkit_web_context_set_cache_model(context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
        WebKitSecurityManager* security = webkit_web_context_get_security_manager(context);
        webkit_security_manager_register_uri_scheme_as_secure(security, ControlScheme);
        webkit_security_manager_register_uri_scheme_as_cors_enabled(security, ControlScheme);
        webkit_web_context_register_uri_scheme(
            context, ControlScheme,
            [](WebKitURISchemeRequest* request, gpointer) { ServeControlRequest(request); }, nullptr,
            nullptr);
        platform::TimelineMark("web context made");
        return context;
    }();
    return s_context;
}
