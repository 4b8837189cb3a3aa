#pragma once

#include "platform/Dialog.h"
#include "platform/Menu.h"
#include "player/ShockwaveFlash.h"
#include "res/ResourceIds.h"

class CPlayerApp;

constexpr UINT IDC_FLASH = 555; // the Flash control
constexpr UINT_PTR IDT_PLAY_ALL = 110; // the play-all timer

// The player window: a borderless dialog hosting the Flash control, placed
// from the main movie's size or over the whole screen, driven by its
// context menu, Escape, the movie's FSCommands and, when the package plays
// all its movies, a timer that moves from one movie to the next.
class CPlayerDlg : public CDialog {
public:
    explicit CPlayerDlg(CWnd* parent = nullptr);
    ~CPlayerDlg() override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;

    BOOL m_bTopMost { FALSE };
    CMenu m_menu {};
    CPlayerApp* m_pApp { nullptr };
    int m_nWidth { 640 };
    int m_nHeight { 480 };
    int m_nScreenWidth { 0 };
    int m_nScreenHeight { 0 };
    BOOL m_bFullScreen { FALSE };
    int m_nMovieCount { 0 };
    int m_nCurrentMovie { 0 };
    CShockwaveFlash m_flash {};
    CString m_strWorkspace {};
    UINT_PTR m_nTimerId { 0 };
    // The movie (its index) for which the next one was made ready.
    int m_nPreparedFor { -1 };
    HICON m_hIcon { nullptr };

    // What the play-all timer last saw, for the whole program: the frame
    // number and how many ticks found it unchanged since the last advance.
    static int s_nLastFrame;
    static int s_nStallCount;

    // What the header reader's colour starts as: no 0x00RRGGBB colour looks
    // like it, so it tells whether the movie's first tag set one.
    static constexpr DWORD NoBackgroundColor = 0xFFFFFFFF;

protected:
    void OnPaint() override;
    HCURSOR OnQueryDragIcon() override;
    void OnTimer(UINT_PTR id) override;
    std::span<const AFX_COMMAND_ENTRY> GetCommandMap() const override;
    std::span<const AFX_EVENTSINK_ENTRY> GetEventSinkMap() const override;

    void OnFullscreen();
    void OnQuit();
    void OnStop();
    void OnPlay();
    void OnAlwaysOnTop();
    void OnMinimizeWindow();
    void OnFSCommand(LPCSTR command, LPCSTR args);

private:
    static const AFX_COMMAND_ENTRY s_commandMap[6];
    static const AFX_EVENTSINK_ENTRY s_eventSinkMap[1];

    const CStringArray& Movies() const;
    void AdvanceMovie();
    void PrepareNextMovie();
};
