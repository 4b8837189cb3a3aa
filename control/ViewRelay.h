#pragma once

#include "control/RuffleView.h"
#include "platform/FlashControlAbi.h"
#include "platform/Types.h"

#include <memory>
#include <optional>
#include <string>

typedef struct _GtkWidget GtkWidget;

// The control's views over a run, one at a time in sight. A web process
// that has played many movies holds on to some of what each left behind,
// so a long play-all run hands over to a fresh one every so many movies:
// the next view (a web process of its own) starts out of sight, on top of
// the one that plays but transparent and deaf to input, and prepares the
// next movie; at that movie's load the playing view unloads its movie
// (what it saved is written), the next one shows and is given the saved
// data and the movie, and the old view and its web process go. A next view
// that is not ready in time, or fails, changes nothing: the playing view
// loads the movie as usual.
class CViewRelay {
public:
    explicit CViewRelay(CRuffleView::FSCommandHandler onFSCommand);
    ~CViewRelay();
    CViewRelay(const CViewRelay&) = delete;
    CViewRelay& operator=(const CViewRelay&) = delete;

    // The control's widget, which holds the views.
    GtkWidget* Widget() const { return m_pStage; }

    // As CRuffleView's, for the view in sight and the one to come.
    void SetScaleMode(LONG mode);
    void SetBackgroundColor(LONG rgb);
    void SetSavedDataFolder(const std::string& folder);
    bool LoadMovie(LONG layer, const std::string& path);
    void PrepareMovie(const std::string& path);
    void Play() { m_pCurrent->Play(); }
    void Stop() { m_pCurrent->Stop(); }
    LONG FrameNum() const { return m_pCurrent->FrameNum(); }

    // Movies a view plays before it hands over (64;
    // QUORVEL_ENGINE_RENEW_MOVIES changes it, for tests).
    static unsigned MoviesPerView();

private:
    void Show(CRuffleView& view, bool inSight);
    bool HandOver(LONG layer, const std::string& path);

    CRuffleView::FSCommandHandler m_onFSCommand;
    GtkWidget* m_pStage { nullptr };
    std::unique_ptr<CRuffleView> m_pCurrent {};
    std::unique_ptr<CRuffleView> m_pNext {};
    // Movies the view in sight has been given.
    unsigned m_nMovies { 0 };
    LONG m_nScaleMode { 0 };
    LONG m_nBackground { QV_COLOUR_MOVIE_OWN };
    // The saved data's folder, once the control was given one.
    std::optional<std::string> m_savedFolder {};
};
