#include "platform/MessageBox.h"

#include <atomic>
#include <cstdio>

namespace {

std::atomic<IMessageBoxPresenter*> s_presenter { nullptr };

} // namespace

IMessageBoxPresenter* SetMessageBoxPresenter(IMessageBoxPresenter* presenter)
{
    return s_presenter.exchange(presenter);
}

int AfxMessageBox(LPCSTR text, UINT type, UINT)
{
    CString message = text ? text : "";
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    if (IMessageBoxPresenter* presenter = s_presenter.load())
        return presenter->Present(message, type);
    return IDOK;
}
