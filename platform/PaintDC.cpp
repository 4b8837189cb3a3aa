#include "platform/PaintDC.h"

#include "platform/WindowBackend.h"

CPaintDC::CPaintDC(CWnd* window)
    : m_hWnd(window ? window->GetSafeHwnd() : nullptr)
{
    if (m_hWnd)
        m_hDC = platform::GetWindowBackend().BeginPaint(m_hWnd);
}

CPaintDC::~CPaintDC()
{
    if (m_hWnd)
        platform::GetWindowBackend().EndPaint(m_hWnd, m_hDC);
}

BOOL CPaintDC::DrawIcon(int x, int y, HICON icon)
{
    if (!m_hDC || !icon)
        return FALSE;
    platform::GetWindowBackend().DrawIcon(m_hDC, x, y, icon);
    return TRUE;
}
