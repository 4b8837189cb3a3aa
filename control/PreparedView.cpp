#include "control/PreparedView.h"

#include <gtk/gtk.h>

namespace {

// Never destroyed at exit: a view nobody took goes with the process, its
// web process with the connection to it.
CRuffleView* s_pWaiting = nullptr;

} // namespace

void CPreparedView::Make()
{
    if (s_pWaiting || !gdk_display_get_default())
        return;
    s_pWaiting = new CRuffleView(nullptr);
    s_pWaiting->Prepare();
}

std::unique_ptr<CRuffleView> CPreparedView::Take()
{
    std::unique_ptr<CRuffleView> view(s_pWaiting);
    s_pWaiting = nullptr;
    if (view && view->Broken())
        view.reset();
    return view;
}

bool CPreparedView::Waiting()
{
    return s_pWaiting != nullptr;
}
