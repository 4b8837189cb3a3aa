#pragma once

#include "platform/MessageBox.h"

namespace platform {

// Message boxes as modal GTK message dialogs (gtk_init must have succeeded).
class CGtkMessageBoxPresenter final : public IMessageBoxPresenter {
public:
    int Present(const CString& text, UINT type) override;
};

} // namespace platform
