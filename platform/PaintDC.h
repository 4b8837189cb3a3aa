#pragma once

#include "platform/Wnd.h"

// The drawing surface of one paint of a window, open for the object's life.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON icon);

    HDC m_hDC { nullptr };

private:
    HWND m_hWnd { nullptr };
};
