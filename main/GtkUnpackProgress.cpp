#include "main/GtkUnpackProgress.h"

#include <cstdio>
#include <gtk/gtk.h>
#include <string>

void CGtkUnpackProgress::CloseWhenIdle()
{
    m_bActive = false;
    if (m_pWindow)
        g_idle_add(
            +[](gpointer self) {
                static_cast<CGtkUnpackProgress*>(self)->Close();
                return gboolean(G_SOURCE_REMOVE);
            },
            this);
}

void CGtkUnpackProgress::Close()
{
    if (m_pWindow)
        gtk_widget_destroy(m_pWindow);
    m_pWindow = nullptr;
    m_pBar = nullptr;
}

void CGtkUnpackProgress::Advance(std::uint64_t done)
{
    if (!m_bActive)
        return;
    auto now = std::chrono::steady_clock::now();
    if (now - m_lastPump < PumpEvery)
        return;
    m_lastPump = now;
    if (!m_pWindow && now - m_started >= ShowAfter)
        Show();
    if (m_pBar) {
        std::uint64_t shown = done < m_nTotal ? done : m_nTotal;
        double fraction = m_nTotal ? double(shown) / double(m_nTotal) : 1.0;
        char text[96];
        std::snprintf(text, sizeof text, "%.1f MB of %.1f MB", double(shown) / 1e6, double(m_nTotal) / 1e6);
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(m_pBar), fraction);
        gtk_progress_bar_set_text(GTK_PROGRESS_BAR(m_pBar), text);
    }
    // Redraws, and the signal sources: a bounded number of rounds, so that a
    // busy display cannot hold the unpacking up.
    for (int round = 0; round < 64 && g_main_context_iteration(nullptr, FALSE); ++round) { }
}

void CGtkUnpackProgress::Show()
{
    m_pWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    std::string title = "Unpacking " + m_strPackage;
    gtk_window_set_title(GTK_WINDOW(m_pWindow), title.c_str());
    gtk_window_set_position(GTK_WINDOW(m_pWindow), GTK_WIN_POS_CENTER);
    gtk_window_set_resizable(GTK_WINDOW(m_pWindow), FALSE);
    gtk_window_set_default_size(GTK_WINDOW(m_pWindow), 360, -1);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_container_set_border_width(GTK_CONTAINER(box), 12);
    std::string label = "Unpacking " + m_strPackage + "\u2026";
    gtk_box_pack_start(GTK_BOX(box), gtk_label_new(label.c_str()), FALSE, FALSE, 0);
    m_pBar = gtk_progress_bar_new();
    gtk_progress_bar_set_show_text(GTK_PROGRESS_BAR(m_pBar), TRUE);
    gtk_box_pack_start(GTK_BOX(box), m_pBar, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(m_pWindow), box);
    gtk_widget_show_all(m_pWindow);
}
