#pragma once

#include "app/PlayerSeams.h"
#include "app/WorkspaceLock.h"
#include "platform/Resources.h"
#include "platform/WinApp.h"

// The application: unpacks the package it carries into the workspace
// folder, runs the player, and empties the workspace when the player ends.
class COpenedFile;

class CPlayerApp : public CWinApp {
public:
    CPlayerApp();

    BOOL InitInstance() override;
    int ExitInstance() override;

    // Each installs the caller's object (which the caller keeps) or, for
    // null, the do-nothing one again.
    void SetControlInstaller(IControlInstaller* installer);
    void SetPlayerRunner(IPlayerRunner* runner);
    void SetUnpackProgress(IUnpackProgress* progress);
    void SetWorkspaceGuard(IWorkspaceGuard* guard);
    // The module whose resources carry the package (null: this executable).
    void SetResourceModule(platform::HMODULE module) { m_hResourceModule = module; }
    // What the run plays instead of the package this executable carries: a
    // file opened by `quorvel FILE` (the caller keeps it; null: the carried
    // package). Its saved-data id becomes m_strSavedDataId.
    void SetOpenedFile(const COpenedFile* file);
    // Who tells the user that the package cannot be used (null: a message box).
    void SetFailureReporter(IFailureReporter* reporter) { m_pFailureReporter = reporter; }

    // Asks the run to end as soon as it can, because of `signal`: unpacking
    // stops after the entry it is at, a running player window ends, and the
    // exit step empties the workspace and returns 128 + `signal`. For the
    // GUI thread (a signal handler only notes the signal; see PlayerMain).
    void RequestStop(int signal);
    bool StopRequested() const { return m_nStopSignal != 0; }

    // Empties (and, when it is a sibling, removes) this run's workspace and
    // gives it up; what the exit step does, for a run that must end at once.
    void ReleaseWorkspace();

    CString m_strWorkspace {};
    CStringArray m_arrMovies {};
    BOOL m_bPlayAll { FALSE };
    // The id saved data is kept under when the package has none of its own
    // (empty: the executable's, see app/SavedData.h).
    CString m_strSavedDataId {};

private:
    BOOL UnpackPackage(const BYTE* bytes, DWORD size, int minFiles = 2);
    BOOL FillFromOpenedFile();
    void ListIfMovie(const CString& name);
    void ReportFailure(const CString& text);
    // `text` about the package's contents, behind the opened file's name
    // when there is one.
    CString AboutOpenedFile(const CString& text) const;

    // The do-nothing seams, in place until (and where) real ones are set.
    inline static CNullControlInstaller s_nullInstaller {};
    inline static CNullPlayerRunner s_nullRunner {};
    inline static CNullUnpackProgress s_nullProgress {};
    inline static CNullWorkspaceGuard s_nullGuard {};
    IControlInstaller* m_pInstaller { &s_nullInstaller };
    IPlayerRunner* m_pRunner { &s_nullRunner };
    IUnpackProgress* m_pProgress { &s_nullProgress };
    IWorkspaceGuard* m_pGuard { &s_nullGuard };
    platform::HMODULE m_hResourceModule { nullptr };
    const COpenedFile* m_pOpened { nullptr };
    IFailureReporter* m_pFailureReporter { nullptr };
    CString m_strWorkspaceBase {};
    CWorkspaceLock m_workspaceLock {};
    int m_nStopSignal { 0 };
};

// Exit status of a run whose package could not be used.
constexpr int ExitPackageUnusable = 2;
// Exit status of a run that had no display to open the window on, lost the
// one it had, or could not open the window on it.
constexpr int ExitNoDisplay = 3;
// Exit status of a run whose Flash control cannot run on this machine: a
// library it needs (the web engine, its JavaScript engine, GStreamer) is
// missing.
constexpr int ExitEngineMissing = 4;
// Exit status of a run ended by signal n: ExitSignalBase + n, as a shell
// reports a process killed by it.
constexpr int ExitSignalBase = 128;
