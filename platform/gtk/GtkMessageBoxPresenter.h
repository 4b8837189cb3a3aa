#pragma once

#include "platform/MessageBox.h"

namespace platform {

// Message boxes as modal GTK message dialogs (gtk_init must have succeeded).
class CGtkMessageBoxPresenter final : public IMessageBoxPresenter {
public:
    int Present(const CString& text, UINT type) override;
    // Closes the message box that is showing, if any, as its OK would: for
    // a run that has been asked to end.
    void DismissShowing();

private:
    void* m_pShowing { nullptr };
};

} // namespace platform
