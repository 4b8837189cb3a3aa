// quorvel-bench-bare-view MOVIE: the movie in our engine's web view and
// nothing else, in a plain centred window of the movie's size. The measure
// against which the player's time to its first frame is compared.

#include "control/RuffleView.h"
#include "movie/MovieHeader.h"
#include "platform/Timeline.h"

#include <cstdio>
#include <gtk/gtk.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvel-bench-bare-view MOVIE\n");
        return 1;
    }
    platform::TimelineMark("main");
    gtk_init(&argc, &argv);
    platform::TimelineMark("display open");
    DWORD colour = 0;
    MovieSize size = ReadMovieHeader(argv[1], colour);

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "bare view");
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_default_size(GTK_WINDOW(window), size.width, size.height);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);

    CRuffleView view([](const std::string&, const std::string&) {});
    gtk_container_add(GTK_CONTAINER(window), view.Widget());
    gtk_widget_show_all(window);
    view.LoadMovie(0, argv[1]);
    gtk_main();
    return 0;
}
