#include "platform/MessageBox.h"

#include "platform/NullMessageBoxPresenter.h"

#include <atomic>
#include <cstdio>

namespace {

CNullMessageBoxPresenter s_nullPresenter;
std::atomic<IMessageBoxPresenter*> s_presenter { &s_nullPresenter };

} // namespace

IMessageBoxPresenter* SetMessageBoxPresenter(IMessageBoxPresenter* presenter)
{
    return s_presenter.exchange(presenter ? presenter : &s_nullPresenter);
}

int AfxMessageBox(LPCSTR text, UINT type, UINT)
{
    CString message = text ? text : "";
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    return s_presenter.load()->Present(message, type);
}
