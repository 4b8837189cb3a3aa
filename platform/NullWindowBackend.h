#pragma once

#include "platform/WindowBackend.h"

namespace platform {

// The window system of a run without a display: no window is ever made
// (CreateTopLevel and AttachChild give a null handle, so the window
// classes' Create fails), nothing is drawn, no timer runs, and every
// question is answered with zero. What the window classes use until a real
// backend is installed.
class CNullWindowBackend final : public IWindowBackend {
public:
    SIZE DialogBaseUnits(const CString&, int) override { return {}; }
    HWND CreateTopLevel(CWnd*, SIZE, DWORD, DWORD) override { return nullptr; }
    HWND AttachChild(CWnd*, HWND, void*, const RECT&, DWORD) override { return nullptr; }
    void DestroyWindow(HWND) override { }
    void RunModalLoop(HWND) override { }
    void EndModalLoop(HWND) override { }
    void SetWindowPos(HWND, HWND, int, int, int, int, UINT) override { }
    RECT GetWindowRect(HWND) override { return {}; }
    void ShowWindow(HWND, int) override { }
    BOOL IsIconic(HWND) override { return FALSE; }
    void SetWindowText(HWND, const CString&) override { }
    void SetIcon(HWND, HICON, BOOL) override { }
    void Invalidate(HWND) override { }
    void SetBackgroundColor(HWND, COLORREF) override { }
    HDC BeginPaint(HWND) override { return nullptr; }
    void EndPaint(HWND, HDC) override { }
    void DrawIcon(HDC, int, int, HICON) override { }
    UINT_PTR SetTimer(HWND, UINT_PTR, UINT) override { return 0; }
    BOOL KillTimer(HWND, UINT_PTR) override { return FALSE; }
    int GetSystemMetrics(int) override { return 0; }
    POINT GetCursorPos() override { return {}; }
    BOOL TrackPopupMenu(const CMenuData&, int, int, HWND) override { return FALSE; }
};

} // namespace platform
