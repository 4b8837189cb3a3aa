#include "player/PlayerDlg.h"

#include "app/PackageSettings.h"
#include "app/PlayerApp.h"
#include "app/SavedData.h"
#include "movie/MovieHeader.h"
#include "platform/FileException.h"
#include "platform/FlashControlAbi.h"
#include "platform/Icon.h"
#include "platform/MbString.h"
#include "platform/OleException.h"
#include "platform/PaintDC.h"
#include "platform/SystemMetrics.h"

using namespace platform;

int CPlayerDlg::s_nLastFrame = -1;
int CPlayerDlg::s_nStallCount = 0;

namespace {

// Ticks with an unchanged frame number after which the timer moves on.
constexpr int StallLimit = 50;

} // namespace

const AFX_COMMAND_ENTRY CPlayerDlg::s_commandMap[6] = {
    { ID_FULLSCREEN, CommandHandler(&CPlayerDlg::OnFullscreen) },
    { ID_QUIT, CommandHandler(&CPlayerDlg::OnQuit) },
    { ID_STOP, CommandHandler(&CPlayerDlg::OnStop) },
    { ID_PLAY, CommandHandler(&CPlayerDlg::OnPlay) },
    { ID_ALWAYS_ON_TOP, CommandHandler(&CPlayerDlg::OnAlwaysOnTop) },
    { ID_MINIMIZE_WINDOW, CommandHandler(&CPlayerDlg::OnMinimizeWindow) },
};

const AFX_EVENTSINK_ENTRY CPlayerDlg::s_eventSinkMap[1] = {
    { IDC_FLASH, CShockwaveFlash::dispidFSCommand, EventHandler(&CPlayerDlg::OnFSCommand) },
};

CPlayerDlg::CPlayerDlg(CWnd* parent)
    : CDialog(IDD_PLAYER_DIALOG, parent)
{
    m_hIcon = LoadIcon(nullptr, IDR_MAINFRAME);
    m_pApp = static_cast<CPlayerApp*>(AfxGetApp());
    if (m_pApp)
        m_strWorkspace = m_pApp->m_strWorkspace;
    m_bFullScreen = FALSE;
    m_bTopMost = FALSE;
    m_nWidth = 640;
    m_nHeight = 480;
}

CPlayerDlg::~CPlayerDlg()
{
    m_menu.DestroyMenu();
}

std::span<const AFX_COMMAND_ENTRY> CPlayerDlg::GetCommandMap() const
{
    return s_commandMap;
}

std::span<const AFX_EVENTSINK_ENTRY> CPlayerDlg::GetEventSinkMap() const
{
    return s_eventSinkMap;
}

const CStringArray& CPlayerDlg::Movies() const
{
    static const CStringArray s_none;
    return m_pApp ? m_pApp->m_arrMovies : s_none;
}

BOOL CPlayerDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SendMessage(DM_SETDEFID, WPARAM(0xFFFFFFFF), 0);
    SetWindowText(LoadString(IDS_TITLE).c_str());
    ModifyStyle(0, WS_SYSMENU, 0);
    SendMessage(WM_SETICON, ICON_BIG, LPARAM(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, LPARAM(m_hIcon));
    m_menu.Attach(LoadMenu(nullptr, IDR_RIGHT_MENU));

    CPackageSettings settings = CPackageSettings::Read(m_strWorkspace);
    if (settings.m_bFullScreen)
        m_bFullScreen = TRUE;
    CString mainMovie = settings.m_strMainMovie;
    if (settings.m_bPlayAll) {
        if (m_pApp)
            m_pApp->m_bPlayAll = TRUE;
        // With no movie listed there is nothing to play in turn: the
        // settings' main movie stands (and no timer will run).
        if (!Movies().empty())
            mainMovie = Movies().front();
    }

    m_nScreenWidth = GetSystemMetrics(SM_CXSCREEN);
    m_nScreenHeight = GetSystemMetrics(SM_CYSCREEN);

    // A main movie that cannot be read keeps the 640 x 480 window; the
    // control is still asked to load it and shows what it makes of it.
    // Until the movie draws, the window shows the stage colour its header
    // gives, or black.
    try {
        DWORD colour = NoBackgroundColor;
        MovieSize size = ReadMovieHeader(m_strWorkspace + "\\" + mainMovie, colour);
        m_nWidth = size.width;
        m_nHeight = size.height;
        if (colour != NoBackgroundColor)
            SetBackgroundColor(RGB(BYTE(colour >> 16), BYTE(colour >> 8), BYTE(colour)));
    } catch (const CFileException&) {
    }

    int x = 0;
    int y = 0;
    if (m_bFullScreen) {
        m_nWidth = m_nScreenWidth;
        m_nHeight = m_nScreenHeight;
    } else {
        x = (m_nScreenWidth - m_nWidth) / 2;
        y = (m_nScreenHeight - m_nHeight) / 2;
    }
    SetWindowPos(nullptr, x, y, m_nWidth, m_nHeight, 0);

    m_flash.Create(nullptr, "flash", WS_VISIBLE, CRect(0, 0, m_nWidth, m_nHeight), this, IDC_FLASH);
    m_flash.ShowWindow(SW_SHOW);
    m_flash.SetScaleMode(0);
    // What the movies save outlives the run, kept per package. A control that
    // does not know the member cannot keep it, and plays all the same.
    try {
        CString fallbackId = m_pApp ? m_pApp->m_strSavedDataId : CString();
        m_flash.SetSavedDataFolder(SavedDataFolder(settings.m_strId, fallbackId).c_str());
    } catch (const COleDispatchException&) {
    } catch (const COleException&) {
    }

    m_nMovieCount = int(Movies().size());
    if (m_pApp && m_pApp->m_bPlayAll && m_nMovieCount > 0) {
        m_flash.LoadMovie(0, (m_strWorkspace + "\\" + Movies().front()).c_str());
        m_nTimerId = SetTimer(IDT_PLAY_ALL, 100, nullptr);
        m_nCurrentMovie = 0;
    } else {
        m_flash.LoadMovie(0, (m_strWorkspace + "\\" + mainMovie).c_str());
    }
    return TRUE;
}

void CPlayerDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, WPARAM(dc.GetSafeHdc()), 0);
    int iconWidth = GetSystemMetrics(SM_CXICON);
    int iconHeight = GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    int x = (rect.Width() - iconWidth + 1) / 2;
    int y = (rect.Height() - iconHeight + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CPlayerDlg::OnQueryDragIcon()
{
    return m_hIcon;
}

BOOL CPlayerDlg::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
        EndDialog(IDCANCEL);
        return TRUE;
    }
    if (msg->message == WM_RBUTTONDOWN) {
        POINT point;
        GetCursorPos(&point);
        if (CMenu* popup = m_menu.GetSubMenu(0))
            popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_LEFTBUTTON, point.x, point.y, this, nullptr);
        return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
}

void CPlayerDlg::OnFullscreen()
{
    if (m_bFullScreen) {
        m_bFullScreen = FALSE;
        SetWindowPos(nullptr, (m_nScreenWidth - m_nWidth) / 2, (m_nScreenHeight - m_nHeight) / 2, m_nWidth,
            m_nHeight, 0);
        m_flash.SetWindowPos(nullptr, 0, 0, m_nWidth, m_nHeight, 0);
    } else {
        m_bFullScreen = TRUE;
        SetWindowPos(nullptr, 0, 0, m_nScreenWidth, m_nScreenHeight, 0);
        m_flash.SetWindowPos(nullptr, 0, 0, m_nScreenWidth, m_nScreenHeight, 0);
    }
}

void CPlayerDlg::OnQuit()
{
    EndDialog(IDOK);
}

void CPlayerDlg::OnStop()
{
    m_flash.Stop();
}

void CPlayerDlg::OnPlay()
{
    m_flash.Play();
}

void CPlayerDlg::OnAlwaysOnTop()
{
    if (!m_bTopMost) {
        SetWindowPos(&wndTopMost, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        m_bTopMost = TRUE;
    } else {
        SetWindowPos(&wndNoTopMost, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        m_bTopMost = FALSE;
    }
}

void CPlayerDlg::OnMinimizeWindow()
{
    ShowWindow(SW_MINIMIZE);
}

void CPlayerDlg::OnFSCommand(LPCSTR command, LPCSTR args)
{
    if (_mbsicmp(command, "quit") == 0) {
        EndDialog(IDOK);
    } else if (_mbsicmp(command, "minimize") == 0) {
        ShowWindow(SW_MINIMIZE);
    } else if (_mbsicmp(command, "fullscreen") == 0) {
        // Forcing the flag first makes the toggle land on the state asked for.
        if (_mbsicmp(args, "true") == 0) {
            m_bFullScreen = FALSE;
            OnFullscreen();
        } else if (_mbsicmp(args, "false") == 0) {
            m_bFullScreen = TRUE;
            OnFullscreen();
        }
    }
}

void CPlayerDlg::OnTimer(UINT_PTR)
{
    int frame = int(m_flash.GetFrameNum());
    // A movie whose frames the control cannot count gives no sign of its
    // end, and a reload would only start it over: the one movie of the
    // package plays on without the timer. Among several, it is moved on from
    // once the stall count runs out, like a movie that stopped.
    if (frame == QV_FRAME_UNCOUNTED && m_nMovieCount == 1) {
        KillTimer(m_nTimerId);
        CDialog::OnTimer(IDT_PLAY_ALL);
        return;
    }
    // Once the current movie plays, the next one is made ready behind it.
    if (frame != 0 && m_nPreparedFor != m_nCurrentMovie)
        PrepareNextMovie();
    if (s_nLastFrame > frame || s_nStallCount > StallLimit) {
        AdvanceMovie();
        s_nStallCount = 0;
        s_nLastFrame = -1;
    } else if (s_nLastFrame == frame) {
        ++s_nStallCount;
    } else {
        s_nLastFrame = frame;
    }
    CDialog::OnTimer(IDT_PLAY_ALL);
}

// Moves play-all to the next movie of the list, sized to it when windowed.
// Whatever fails on the way is dropped: the next advance tries the movie
// after it.
void CPlayerDlg::AdvanceMovie()
{
    try {
        ++m_nCurrentMovie;
        if (m_nCurrentMovie >= m_nMovieCount)
            m_nCurrentMovie = 0;
        CString path = m_strWorkspace + "\\" + Movies().at(size_t(m_nCurrentMovie));
        DWORD colour = NoBackgroundColor;
        MovieSize size = ReadMovieHeader(path, colour);
        // Without a colour in the header (movies of version 8 and later open
        // with their file attributes) the movie shows its own; an earlier
        // movie's colour must not stay.
        m_flash.SetBackgroundColor(colour == NoBackgroundColor ? long(QV_COLOUR_MOVIE_OWN) : long(colour));
        // The window takes the new size with the new movie: the control
        // shows a prepared movie at once, and the old one must not show at
        // the new size before it goes.
        auto resize = [&] {
            if (!m_bFullScreen) {
                SetWindowPos(nullptr, (m_nScreenWidth - size.width) / 2, (m_nScreenHeight - size.height) / 2,
                    size.width, size.height, 0);
                m_flash.SetWindowPos(nullptr, 0, 0, size.width, size.height, 0);
            }
        };
        try {
            m_flash.LoadMovie(0, path.c_str());
        } catch (...) {
            resize();
            throw;
        }
        resize();
        if (m_nMovieCount == 1)
            KillTimer(m_nTimerId);
    } catch (...) {
    }
}

// Tells the control which movie comes after the current one, so that it
// can make it ready while this one plays. A control that cannot is fine:
// the next movie then loads as usual.
void CPlayerDlg::PrepareNextMovie()
{
    m_nPreparedFor = m_nCurrentMovie;
    if (m_nMovieCount < 2)
        return;
    try {
        int next = m_nCurrentMovie + 1 >= m_nMovieCount ? 0 : m_nCurrentMovie + 1;
        m_flash.PrepareMovie((m_strWorkspace + "\\" + Movies().at(size_t(next))).c_str());
    } catch (...) {
    }
}
