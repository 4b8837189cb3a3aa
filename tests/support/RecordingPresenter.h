#pragma once

#include "platform/MessageBox.h"

#include <vector>

// Stands in for the message box: keeps every text and type it was shown.
class CRecordingPresenter final : public IMessageBoxPresenter {
public:
    int Present(const CString& text, UINT type) override
    {
        m_texts.push_back(text);
        m_types.push_back(type);
        return IDOK;
    }

    std::vector<CString> m_texts {};
    std::vector<UINT> m_types {};
};
