#pragma once

#include "platform/Wnd.h"

using INT_PTR = std::intptr_t;

// A dialog made from a dialog template of the resources. DoModal runs it
// until EndDialog; Create makes it without running a loop (the caller then
// owns the running, as tests do).
class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    virtual INT_PTR DoModal();
    // Makes the window from the template (undecorated, centred when the
    // template says so, sized in dialog units of its font), runs
    // OnInitDialog and shows the window when the template's style has
    // WS_VISIBLE. False when the template is missing.
    using CWnd::Create;
    BOOL Create();

    virtual BOOL OnInitDialog() { return TRUE; }
    // Ends the modal loop; DoModal returns `result`.
    void EndDialog(int result);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    // The colour the window shows where nothing in it has painted yet
    // (black until set); from OnInitDialog on, before the window is shown.
    void SetBackgroundColor(COLORREF colour);

    BOOL IsEnded() const { return m_bEnded; }
    int GetDefID() const { return m_nDefId; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    UINT m_nIDHelp { 0 };
    CWnd* m_pParentForCreate { nullptr };

private:
    int m_nModalResult { -1 };
    BOOL m_bEnded { FALSE };
    int m_nDefId { IDOK };
};

// The fields of a dialog template that the window is made from.
struct DialogTemplate {
    DWORD style { 0 };
    DWORD exStyle { 0 };
    int cx { 0 };
    int cy { 0 };
    CString font {};
    int points { 0 };

    // The resource form: one "key=value" per line.
    static DialogTemplate Parse(std::string_view text);
    // Dialog units to pixels through the font's base units, rounded like the system does.
    SIZE PixelSize(SIZE baseUnits) const;
};
