#pragma once

#include "platform/WindowBackend.h"

#include <functional>
#include <map>
#include <vector>

// A window system without a display for the tests: windows are records of
// what was asked of them, nothing is drawn and nothing arrives by itself.
// Tests drive the window classes with it: they set the screen and the
// pointer, read the records, and deliver messages themselves.
class CRecordingWindowBackend final : public platform::IWindowBackend {
public:
    struct Window {
        CWnd* owner { nullptr };
        HWND parent { nullptr };
        RECT rect {};
        DWORD style { 0 };
        DWORD exStyle { 0 };
        bool visible { false };
        bool iconic { false };
        bool topmost { false };
        bool destroyed { false };
        CString title {};
        COLORREF background { RGB(0, 0, 0) };
        HICON bigIcon { nullptr };
        HICON smallIcon { nullptr };
        std::vector<RECT> placements {}; // every SetWindowPos that moved or sized it
    };
    struct Popup {
        std::vector<CMenuData::Item> items {}; // ids, states and texts (no sub-menus)
        POINT at {};
        HWND owner { nullptr };
    };

    SIZE DialogBaseUnits(const CString& face, int points) override;
    HWND CreateTopLevel(CWnd* owner, SIZE size, DWORD style, DWORD exStyle) override;
    HWND AttachChild(CWnd* owner, HWND parent, void* widget, const RECT& rect, DWORD style) override;
    void DestroyWindow(HWND window) override;
    void RunModalLoop(HWND window) override;
    void EndModalLoop(HWND window) override;
    void SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) override;
    RECT GetWindowRect(HWND window) override;
    void ShowWindow(HWND window, int command) override;
    BOOL IsIconic(HWND window) override;
    void SetWindowText(HWND window, const CString& text) override;
    void SetIcon(HWND window, HICON icon, BOOL big) override;
    void Invalidate(HWND) override { }
    void SetBackgroundColor(HWND window, COLORREF colour) override;
    HDC BeginPaint(HWND window) override;
    void EndPaint(HWND, HDC) override { }
    void DrawIcon(HDC dc, int x, int y, HICON icon) override;
    UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse) override;
    BOOL KillTimer(HWND window, UINT_PTR id) override;
    int GetSystemMetrics(int index) override;
    POINT GetCursorPos() override { return m_cursor; }
    BOOL TrackPopupMenu(const CMenuData& menu, int x, int y, HWND owner) override;

    // The record of a window, null for an unknown handle.
    Window* Find(HWND window);

    SIZE m_screen { 1024, 768 };
    SIZE m_baseUnits { 6, 13 };
    SIZE m_icon { 32, 32 };
    POINT m_cursor {};
    std::map<HWND, Window> m_windows {};
    std::map<std::pair<HWND, UINT_PTR>, UINT> m_timers {}; // running timers and their intervals
    std::vector<Popup> m_popups {};
    struct Drawn {
        int x;
        int y;
        HICON icon;
    };
    std::vector<Drawn> m_drawnIcons {};
    // Runs inside RunModalLoop, standing for the user; the loop returns when it does.
    std::function<void(HWND)> m_modalDriver {};
    int m_nModalLoops { 0 };

private:
    std::uintptr_t m_nNextHandle { 0x100 };
};
