// The GTK backend's timers: GLib timeouts that deliver WM_TIMER to their window.

#include "platform/gtk/GtkWindowBackend.h"

#include "platform/Wnd.h"

#include <gtk/gtk.h>

namespace platform {

namespace {

struct TimerTarget {
    HWND window;
    UINT_PTR id;
};

} // namespace

UINT_PTR CGtkWindowBackend::SetTimer(HWND handle, UINT_PTR id, UINT elapse)
{
    if (!Find(handle))
        return 0;
    KillTimer(handle, id);
    auto* target = new TimerTarget { handle, id };
    unsigned source = g_timeout_add_full(
        G_PRIORITY_DEFAULT, elapse,
        +[](gpointer data) -> gboolean {
            auto* timer = static_cast<TimerTarget*>(data);
            CWnd::DeliverMessage(timer->window, WM_TIMER, timer->id, 0);
            return G_SOURCE_CONTINUE;
        },
        target, +[](gpointer data) { delete static_cast<TimerTarget*>(data); });
    m_timers[{ handle, id }] = source;
    return id;
}

BOOL CGtkWindowBackend::KillTimer(HWND handle, UINT_PTR id)
{
    auto found = m_timers.find({ handle, id });
    if (found == m_timers.end())
        return FALSE;
    g_source_remove(found->second);
    m_timers.erase(found);
    return TRUE;
}

void CGtkWindowBackend::KillTimers(HWND handle)
{
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->first.first == handle) {
            g_source_remove(it->second);
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace platform
