#pragma once

#include "app/PlayerSeams.h"
#include "platform/Resources.h"
#include "platform/WinApp.h"

// The application: unpacks the package it carries into the workspace
// folder, runs the player, and empties the workspace when the player ends.
class CPlayerApp : public CWinApp {
public:
    CPlayerApp();

    BOOL InitInstance() override;
    int ExitInstance() override;

    void SetControlInstaller(IControlInstaller* installer);
    void SetPlayerRunner(IPlayerRunner* runner);
    // The module whose resources carry the package (null: this executable).
    void SetResourceModule(platform::HMODULE module) { m_hResourceModule = module; }

    CString m_strWorkspace {};
    CStringArray m_arrMovies {};
    BOOL m_bPlayAll { FALSE };

private:
    BOOL UnpackPackage(const BYTE* bytes, DWORD size);
    void ListIfMovie(const CString& name);
    void ReportFailure(const CString& text);

    CNullControlInstaller m_nullInstaller {};
    CNullPlayerRunner m_nullRunner {};
    IControlInstaller* m_pInstaller { &m_nullInstaller };
    IPlayerRunner* m_pRunner { &m_nullRunner };
    platform::HMODULE m_hResourceModule { nullptr };
};

// Exit status of a run whose package could not be used.
constexpr int ExitPackageUnusable = 2;
