#include "control/LinkOpener.h"

#include "platform/Say.h"

#include <gio/gio.h>
#include <memory>

namespace {

struct PendingLink {
    std::string uri;
    std::string link;
    bool hideSessionBus { false };
};

void ReportUnopened(const PendingLink& pending)
{
    platform::Say(
        "the link %s was not opened: no program is set up to open such links", pending.link.c_str());
}

void OnOpenerEnded(GPid pid, gint status, gpointer data)
{
    std::unique_ptr<PendingLink> pending(static_cast<PendingLink*>(data));
    g_spawn_close_pid(pid);
    if (!g_spawn_check_wait_status(status, nullptr))
        ReportUnopened(*pending);
}

// xdg-open as the last resort: found in PATH, given the URI as one argument.
void OpenWithXdgOpen(std::unique_ptr<PendingLink> pending)
{
    gchar* program = g_find_program_in_path("xdg-open");
    if (!program) {
        ReportUnopened(*pending);
        return;
    }
    gchar* argv[] = { program, pending->uri.data(), nullptr };
    gchar** environment = g_get_environ();
    if (pending->hideSessionBus)
        environment = g_environ_unsetenv(environment, "DBUS_SESSION_BUS_ADDRESS");
    GPid pid = 0;
    gboolean started = g_spawn_async(nullptr, argv, environment,
        GSpawnFlags(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDOUT_TO_DEV_NULL), nullptr, nullptr, &pid, nullptr);
    g_strfreev(environment);
    g_free(program);
    if (!started) {
        ReportUnopened(*pending);
        return;
    }
    g_child_watch_add(pid, OnOpenerEnded, pending.release());
}

void OnDesktopLaunched(GObject*, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<PendingLink> pending(static_cast<PendingLink*>(data));
    GError* error = nullptr;
    if (g_app_info_launch_default_for_uri_finish(result, &error))
        return;
    g_clear_error(&error);
    OpenWithXdgOpen(std::move(pending));
}

} // namespace

void OpenLinkOnDesktop(const std::string& uri, const std::string& link, bool hideSessionBus)
{
    GAppLaunchContext* launch = g_app_launch_context_new();
    if (hideSessionBus)
        g_app_launch_context_unsetenv(launch, "DBUS_SESSION_BUS_ADDRESS");
    auto* pending = new PendingLink { uri, link, hideSessionBus };
    g_app_info_launch_default_for_uri_async(uri.c_str(), launch, nullptr, OnDesktopLaunched, pending);
    g_object_unref(launch);
}
