#pragma once

#include "platform/Types.h"

constexpr UINT MB_OK = 0x0000;
constexpr int IDOK = 1;

// Shows message boxes to the user. The program has one at a time: the
// do-nothing CNullMessageBoxPresenter until a real one is installed, so the
// text may reach only standard error.
class IMessageBoxPresenter {
public:
    virtual ~IMessageBoxPresenter() = default;

    // Shows `text` modally with the buttons `type` asks for; returns the button chosen.
    virtual int Present(const CString& text, UINT type) = 0;
};

// Installs the presenter that AfxMessageBox hands its texts to (null: the
// do-nothing one again) and returns the one it replaces. The caller keeps
// ownership.
IMessageBoxPresenter* SetMessageBoxPresenter(IMessageBoxPresenter* presenter);

// Writes the text and a newline to standard error, then shows it through the
// installed presenter. Returns the presenter's answer.
int AfxMessageBox(LPCSTR text, UINT type = MB_OK, UINT helpId = 0);
