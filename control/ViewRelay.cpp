#include "control/ViewRelay.h"

#include "control/Debugging.h"
#include "control/PreparedView.h"
#include "platform/Timeline.h"

#include <cstdlib>
#include <gtk/gtk.h>

CViewRelay::CViewRelay(CRuffleView::FSCommandHandler onFSCommand)
    : m_onFSCommand(std::move(onFSCommand))
{
    // Every view is an overlay of the stage, the one in sight on top: the
    // views never change parents, which would unmap them and lose what
    // they have drawn.
    m_pStage = gtk_overlay_new();
    g_object_ref_sink(m_pStage);
    // The engine prepared ahead, when there is one that works.
    m_pCurrent = CPreparedView::Take();
    if (m_pCurrent)
        m_pCurrent->Adopt(m_onFSCommand);
    else
        m_pCurrent = std::make_unique<CRuffleView>(m_onFSCommand);
    Show(*m_pCurrent, true);
}

CViewRelay::~CViewRelay()
{
    m_pNext.reset();
    m_pCurrent.reset();
    g_object_unref(m_pStage);
}

unsigned CViewRelay::MoviesPerView()
{
    if (const char* text = std::getenv("QUORVEL_ENGINE_RENEW_MOVIES")) {
        long movies = std::strtol(text, nullptr, 10);
        if (movies > 0)
            return unsigned(movies);
    }
    return 64;
}

void CViewRelay::Show(CRuffleView& view, bool inSight)
{
    GtkWidget* widget = view.Widget();
    if (!gtk_widget_get_parent(widget)) {
        gtk_overlay_add_overlay(GTK_OVERLAY(m_pStage), widget);
        gtk_widget_show(widget);
    }
    // Out of sight, the view still draws (its page runs as a page in sight
    // does), but shows nothing and takes no input.
    gtk_widget_set_opacity(widget, inSight ? 1.0 : 0.0);
    gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(m_pStage), widget, !inSight);
}

void CViewRelay::SetScaleMode(LONG mode)
{
    m_nScaleMode = mode;
    m_pCurrent->SetScaleMode(mode);
    if (m_pNext)
        m_pNext->SetScaleMode(mode);
}

void CViewRelay::SetBackgroundColor(LONG rgb)
{
    m_nBackground = rgb;
    m_pCurrent->SetBackgroundColor(rgb);
    if (m_pNext)
        m_pNext->SetBackgroundColor(rgb);
}

void CViewRelay::SetSavedDataFolder(const std::string& folder)
{
    m_savedFolder = folder;
    m_pCurrent->SetSavedDataFolder(folder);
}

void CViewRelay::PrepareMovie(const std::string& path)
{
    if (m_pNext && m_pNext->Broken())
        m_pNext.reset();
    // The next view starts a movie ahead of its turn: a web process and its
    // engine take longer to start than a short movie plays.
    unsigned turn = MoviesPerView();
    if (!m_pNext && m_nMovies + 1 >= turn) {
        DebugSay("a fresh view after %u movies", m_nMovies);
        m_pNext = std::make_unique<CRuffleView>(nullptr);
        m_pNext->Prepare();
        m_pNext->SetScaleMode(m_nScaleMode);
        if (m_nBackground >= 0)
            m_pNext->SetBackgroundColor(m_nBackground);
        Show(*m_pNext, false);
    }
    // At its turn the next view makes the movie ready; the view in sight
    // need not.
    if (m_pNext && m_nMovies >= turn)
        m_pNext->PrepareMovie(path);
    else
        m_pCurrent->PrepareMovie(path);
}

bool CViewRelay::LoadMovie(LONG layer, const std::string& path)
{
    if (m_pNext && m_pNext->ReadyFor(path))
        return HandOver(layer, path);
    if (!m_pCurrent->LoadMovie(layer, path))
        return false;
    ++m_nMovies;
    return true;
}

bool CViewRelay::HandOver(LONG layer, const std::string& path)
{
    platform::TimelineMark("view handed over");
    // The next view comes in sight in its movie's colour, over the movie
    // that goes; what that one saved is on disk before the next view
    // reads it.
    Show(*m_pNext, true);
    m_pCurrent->Unload("as a fresh engine took over");
    m_pCurrent = std::move(m_pNext);
    m_pCurrent->Adopt(m_onFSCommand);
    if (m_savedFolder)
        m_pCurrent->SetSavedDataFolder(*m_savedFolder);
    m_nMovies = 1;
    return m_pCurrent->LoadMovie(layer, path);
}
