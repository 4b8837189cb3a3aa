#pragma once

#include "platform/MessageBox.h"

// Shows nothing and answers IDOK: what AfxMessageBox uses until a real
// presenter is installed, and for good in a run without a display (the
// text has reached standard error already).
class CNullMessageBoxPresenter final : public IMessageBoxPresenter {
public:
    int Present(const CString&, UINT) override { return IDOK; }
};
