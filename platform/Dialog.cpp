#include "platform/Dialog.h"

#include "platform/Resources.h"
#include "platform/WindowBackend.h"

#include <cstdlib>

using platform::GetWindowBackend;

namespace {

int MulDiv(int number, int numerator, int denominator)
{
    long long product = (long long)number * numerator;
    long long half = denominator / 2;
    return int(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

} // namespace

DialogTemplate DialogTemplate::Parse(std::string_view text)
{
    DialogTemplate result;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string line(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view {} : text.substr(end + 1);
        size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string key = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        auto number = [&] { return std::strtoul(value.c_str(), nullptr, 0); };
        if (key == "style")
            result.style = DWORD(number());
        else if (key == "exstyle")
            result.exStyle = DWORD(number());
        else if (key == "cx")
            result.cx = int(number());
        else if (key == "cy")
            result.cy = int(number());
        else if (key == "font")
            result.font = value;
        else if (key == "points")
            result.points = int(number());
    }
    return result;
}

SIZE DialogTemplate::PixelSize(SIZE baseUnits) const
{
    return { MulDiv(cx, baseUnits.cx, 4), MulDiv(cy, baseUnits.cy, 8) };
}

CDialog::CDialog(UINT templateId, CWnd* parent)
    : m_nIDHelp(templateId)
    , m_pParentForCreate(parent)
{
}

BOOL CDialog::Create()
{
    using namespace platform;
    HRSRC resource = FindResource(nullptr, MAKEINTRESOURCE(m_nIDHelp), MAKEINTRESOURCE(RT_DIALOG));
    if (!resource)
        return FALSE;
    auto* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, resource)));
    DialogTemplate dialog = DialogTemplate::Parse({ bytes, SizeofResource(nullptr, resource) });

    IWindowBackend& backend = GetWindowBackend();
    SIZE size = dialog.PixelSize(backend.DialogBaseUnits(dialog.font, dialog.points));
    HWND window = backend.CreateTopLevel(this, size, dialog.style & ~WS_VISIBLE, dialog.exStyle);
    if (!window)
        return FALSE;
    m_dwStyle = dialog.style & ~WS_VISIBLE;
    m_bEnded = FALSE;
    m_nModalResult = -1;
    Attach(window, nullptr);
    m_pParentWnd = m_pParentForCreate;

    // Set-up runs as every message from the window system does: an exception
    // that escapes it is reported, and the dialog still comes up.
    CWnd::DeliverMessage(m_hWnd, WM_INITDIALOG, 0, 0);
    // A dialog that ended during its set-up is never shown.
    if ((dialog.style & WS_VISIBLE) && !m_bEnded && m_hWnd)
        ShowWindow(SW_SHOW);
    return m_hWnd != nullptr;
}

INT_PTR CDialog::DoModal()
{
    if (!Create())
        return -1;
    if (!m_bEnded)
        GetWindowBackend().RunModalLoop(m_hWnd);
    DestroyWindow();
    return m_nModalResult;
}

void CDialog::SetBackgroundColor(COLORREF colour)
{
    if (m_hWnd)
        platform::GetWindowBackend().SetBackgroundColor(m_hWnd, colour);
}

void CDialog::EndDialog(int result)
{
    m_nModalResult = result;
    if (m_bEnded)
        return;
    m_bEnded = TRUE;
    if (m_hWnd) {
        GetWindowBackend().ShowWindow(m_hWnd, SW_HIDE);
        GetWindowBackend().EndModalLoop(m_hWnd);
    }
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case DM_SETDEFID:
        m_nDefId = int(wParam);
        return TRUE;
    case WM_CLOSE:
        // A close request from the window manager is Cancel.
        return SendMessage(WM_COMMAND, IDCANCEL, 0);
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (CWnd::OnCommand(wParam, lParam))
        return TRUE;
    if (HIWORD(wParam) != 0)
        return FALSE;
    if (LOWORD(wParam) == IDOK) {
        OnOK();
        return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}
