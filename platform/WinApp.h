#pragma once

#include "platform/Types.h"

class CWnd;

// The one application object. `AfxWinMain` runs InitInstance, then
// ExitInstance, whose result is the process's exit code.
class CWinApp {
public:
    explicit CWinApp(LPCSTR appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    // Returns the exit code set with SetExitCode (0 unless told otherwise).
    virtual int ExitInstance() { return m_nExitCode; }
    // The message pump; runs only when InitInstance returned TRUE.
    virtual int Run() { return ExitInstance(); }

    BOOL Enable3dControls() { return TRUE; }
    void SetExitCode(int code) { m_nExitCode = code; }

    CWnd* m_pMainWnd { nullptr };
    CString m_pszAppName {};

private:
    int m_nExitCode { 0 };
};

CWinApp* AfxGetApp();
void AfxEnableControlContainer();

// What main does: InitInstance, then Run or ExitInstance.
int AfxWinMain();
