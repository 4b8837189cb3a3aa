#include "platform/gtk/GtkMessageBoxPresenter.h"

#include <gtk/gtk.h>

namespace platform {

int CGtkMessageBoxPresenter::Present(const CString& text, UINT)
{
    GtkWidget* dialog = gtk_message_dialog_new(
        nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s", text.c_str());
    // The program's name for people (the executable's file name); the
    // program name proper is the window class.
    const char* name = g_get_application_name();
    gtk_window_set_title(GTK_WINDOW(dialog), name ? name : "");
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    void* outer = m_pShowing;
    m_pShowing = dialog;
    gtk_dialog_run(GTK_DIALOG(dialog));
    m_pShowing = outer;
    gtk_widget_destroy(dialog);
    while (gtk_events_pending())
        gtk_main_iteration();
    return IDOK;
}

void CGtkMessageBoxPresenter::DismissShowing()
{
    if (m_pShowing)
        gtk_dialog_response(GTK_DIALOG(m_pShowing), GTK_RESPONSE_OK);
}

} // namespace platform
