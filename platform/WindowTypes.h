#pragma once

#include "platform/MessageBox.h" // IDOK
#include "platform/Types.h"

#include <cstdint>

// The window system's handles, records and constants, under the names the
// player is written against.

struct HWND__;
using HWND = HWND__*; // a window of the installed backend
struct HDC__;
using HDC = HDC__*; // the drawing surface of one paint

struct CIconData;
using HICON = const CIconData*; // an icon loaded from the resources
using HCURSOR = HICON;

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;

// A colour as 0x00BBGGRR.
using COLORREF = DWORD;
constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue)
{
    return COLORREF(red) | COLORREF(green) << 8 | COLORREF(blue) << 16;
}
constexpr BYTE GetRValue(COLORREF colour)
{
    return BYTE(colour);
}
constexpr BYTE GetGValue(COLORREF colour)
{
    return BYTE(colour >> 8);
}
constexpr BYTE GetBValue(COLORREF colour)
{
    return BYTE(colour >> 16);
}

struct POINT {
    LONG x { 0 };
    LONG y { 0 };
    bool operator==(const POINT&) const = default;
};

struct SIZE {
    LONG cx { 0 };
    LONG cy { 0 };
    bool operator==(const SIZE&) const = default;
};

struct RECT {
    LONG left { 0 };
    LONG top { 0 };
    LONG right { 0 };
    LONG bottom { 0 };
    bool operator==(const RECT&) const = default;
};

class CRect : public RECT {
public:
    CRect() = default;
    CRect(LONG l, LONG t, LONG r, LONG b)
        : RECT { l, t, r, b }
    {
    }
    CRect(const RECT& rect)
        : RECT(rect)
    {
    }
    LONG Width() const { return right - left; }
    LONG Height() const { return bottom - top; }
};

using LPRECT = RECT*;
using LPCRECT = const RECT*;

// One input or window message.
struct MSG {
    HWND hwnd { nullptr };
    UINT message { 0 };
    WPARAM wParam { 0 };
    LPARAM lParam { 0 };
};

constexpr WORD LOWORD(std::uintptr_t value)
{
    return WORD(value & 0xFFFF);
}
constexpr WORD HIWORD(std::uintptr_t value)
{
    return WORD((value >> 16) & 0xFFFF);
}
constexpr LPARAM MAKELPARAM(int low, int high)
{
    return LPARAM(DWORD(WORD(low)) | (DWORD(WORD(high)) << 16));
}

// Messages.
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_ICONERASEBKGND = 0x0027;
constexpr UINT WM_QUERYDRAGICON = 0x0037;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT DM_SETDEFID = 0x0401;

constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;

constexpr WPARAM VK_ESCAPE = 0x1B;

constexpr int IDCANCEL = 2;

// Window styles.
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD DS_SETFONT = 0x00000040;
constexpr DWORD DS_CENTER = 0x00000800;
constexpr DWORD DS_SETFOREGROUND = 0x00000200;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

// ShowWindow.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;

// SetWindowPos.
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
// Insert-after values: the topmost band and the normal band.
inline HWND const HWND_TOP = nullptr;
inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(std::intptr_t(-1));
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(std::intptr_t(-2));

// GetSystemMetrics.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;

// TrackPopupMenu and menu item states.
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_LEFTBUTTON = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_POPUP = 0x0010;
