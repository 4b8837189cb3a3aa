// The player window on the null window system: set-up and placement,
// commands, the context menu, FSCommand and the play-all timer.

#include "support/FakeControl.h"

#include "app/PlayerApp.h"
#include "app/SavedData.h"
#include "platform/ControlAbi.h"
#include "platform/OleException.h"
#include "player/PlayerDlg.h"
#include "res/BuiltInResources.h"
#include "support/Command.h"
#include "support/RecordingWindowBackend.h"
#include "support/ScratchFolder.h"
#include "tools/swf/MovieWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

namespace {

RECT At(LONG x, LONG y, LONG width, LONG height)
{
    return { x, y, x + width, y + height };
}

class PlayerDlgTest : public testing::Test {
protected:
    void SetUp() override
    {
        RegisterBuiltInResources();
        m_previousBackend = platform::SetWindowBackend(&m_backend);
        CFakeControl::Install();
        m_app.m_strWorkspace = m_scratch.path().string();
        CPlayerDlg::s_nLastFrame = -1;
        CPlayerDlg::s_nStallCount = 0;
    }

    void TearDown() override
    {
        m_dialog.reset();
        CFakeControl::Uninstall();
        platform::SetWindowBackend(m_previousBackend);
    }

    void WriteMovie(const std::string& name, int width, int height, std::optional<std::uint32_t> colour = {})
    {
        CMovieWriter writer(SwfRect::FromPixels(width, height), 12.0);
        if (colour)
            writer.SetBackgroundColor(SwfRgb::FromHex(*colour));
        writer.ShowFrame();
        auto bytes = writer.Build();
        WriteFileBytes(m_scratch / name, { bytes.begin(), bytes.end() });
    }

    void WriteSettings(const std::string& text)
    {
        WriteFileBytes(m_scratch / "package.ini", { text.begin(), text.end() });
    }

    // Three movies of different sizes, played in turn.
    void PlayAllThree()
    {
        WriteMovie("a.swf", 550, 400);
        WriteMovie("b.swf", 320, 240, 0x336699);
        WriteMovie("c.swf", 800, 600);
        m_app.m_arrMovies = { "a.swf", "b.swf", "c.swf" };
        WriteSettings("[SETTINGS]\r\ntype=all\r\n");
    }

    CPlayerDlg& Open()
    {
        m_dialog = std::make_unique<CPlayerDlg>(nullptr);
        m_app.m_pMainWnd = m_dialog.get();
        EXPECT_TRUE(m_dialog->Create());
        return *m_dialog;
    }

    CRecordingWindowBackend::Window& Window() { return *m_backend.Find(m_dialog->m_hWnd); }
    CRecordingWindowBackend::Window& ControlWindow() { return *m_backend.Find(m_dialog->m_flash.m_hWnd); }
    CFakeControl& Control() { return *CFakeControl::Current(); }
    std::string Path(const std::string& name) { return m_app.m_strWorkspace + "\\" + name; }

    std::vector<std::string> LoadedMovies()
    {
        std::vector<std::string> paths;
        for (const auto& call : Control().CallsTo(CShockwaveFlash::dispidLoadMovie))
            paths.push_back(call.args.at(1));
        return paths;
    }

    void Tick(int frame)
    {
        Control().m_frames = { frame };
        m_dialog->SendMessage(WM_TIMER, IDT_PLAY_ALL);
    }

    void Command(UINT id) { m_dialog->SendMessage(WM_COMMAND, id); }

    CRecordingWindowBackend m_backend;
    platform::IWindowBackend* m_previousBackend { nullptr };
    ScratchFolder m_scratch;
    CPlayerApp m_app;
    std::unique_ptr<CPlayerDlg> m_dialog;
};

struct Placement {
    int width;
    int height;
    RECT expected;
};

class PlacementTest : public PlayerDlgTest, public testing::WithParamInterface<Placement> { };

TEST_P(PlacementTest, CentresTheMovieWithTruncatingDivision)
{
    const Placement& p = GetParam();
    WriteMovie("main.swf", p.width, p.height);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\n");
    CPlayerDlg& dialog = Open();

    EXPECT_EQ(Window().rect, p.expected);
    EXPECT_EQ(ControlWindow().rect, At(0, 0, p.width, p.height));
    EXPECT_EQ(dialog.m_nWidth, p.width);
    EXPECT_EQ(dialog.m_nHeight, p.height);
}

INSTANTIATE_TEST_SUITE_P(OnA1024x768Screen, PlacementTest,
    testing::Values(Placement { 550, 400, At(237, 184, 550, 400) },
        Placement { 551, 401, At(236, 183, 551, 401) }, Placement { 1280, 1024, At(-128, -128, 1280, 1024) },
        Placement { 1281, 1025, At(-128, -128, 1281, 1025) }));

TEST_F(PlayerDlgTest, SetUpTitlesTheWindowAndDrivesTheControlInOrder)
{
    WriteMovie("main.swf", 550, 400);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\n");
    CPlayerDlg& dialog = Open();

    EXPECT_EQ(Window().title, "Quorvel");
    EXPECT_TRUE(Window().visible);
    EXPECT_TRUE(dialog.GetStyle() & WS_SYSMENU);
    EXPECT_EQ(dialog.GetDefID(), -1);
    EXPECT_NE(dialog.m_hIcon, nullptr);
    EXPECT_EQ(Window().bigIcon, dialog.m_hIcon);
    EXPECT_EQ(Window().smallIcon, dialog.m_hIcon);
    EXPECT_EQ(dialog.m_flash.GetDlgCtrlID(), IDC_FLASH);
    EXPECT_TRUE(ControlWindow().visible);
    EXPECT_EQ(dialog.m_nScreenWidth, 1024);
    EXPECT_EQ(dialog.m_nScreenHeight, 768);

    ASSERT_EQ(Control().m_calls.size(), 3u);
    EXPECT_EQ(Control().m_calls[0].dispid, CShockwaveFlash::dispidScaleMode);
    EXPECT_EQ(Control().m_calls[0].kind, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(Control().m_calls[0].args, std::vector<std::string> { "0" });
    EXPECT_EQ(Control().m_calls[1].dispid, QV_DISPID_SAVED_DATA_FOLDER);
    EXPECT_EQ(Control().m_calls[1].kind, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(Control().m_calls[1].args, std::vector<std::string> { SavedDataFolder("") });
    EXPECT_EQ(Control().m_calls[2].dispid, CShockwaveFlash::dispidLoadMovie);
    EXPECT_EQ(Control().m_calls[2].args, (std::vector<std::string> { "0", Path("main.swf") }));
    EXPECT_TRUE(m_backend.m_timers.empty());
    EXPECT_EQ(dialog.SendMessage(WM_QUERYDRAGICON), LRESULT(dialog.m_hIcon));
}

// Before the control draws, the window shows the main movie's stage colour
// from its header, black without one; the control is left to find the
// colour itself, as a movie's own.
TEST_F(PlayerDlgTest, TheWindowShowsTheStageColourOfTheHeaderElseBlack)
{
    WriteMovie("main.swf", 550, 400, 0x336699);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\n");
    Open();
    EXPECT_EQ(Window().background, RGB(0x33, 0x66, 0x99));
    EXPECT_TRUE(Control().CallsTo(CShockwaveFlash::dispidBackgroundColor).empty());
    m_dialog.reset();

    WriteMovie("main.swf", 550, 400);
    Open();
    EXPECT_EQ(Window().background, RGB(0, 0, 0));
}

TEST_F(PlayerDlgTest, FullScreenStartStoresTheScreenSizeAsTheWindowedSize)
{
    WriteMovie("main.swf", 550, 400);
    WriteSettings("[SETTINGS]\r\nfullscreen=TRUE\r\nmainmovie=main.swf\r\n");
    CPlayerDlg& dialog = Open();

    EXPECT_TRUE(dialog.m_bFullScreen);
    EXPECT_EQ(Window().rect, At(0, 0, 1024, 768));
    EXPECT_EQ(ControlWindow().rect, At(0, 0, 1024, 768));
    Command(ID_FULLSCREEN);
    EXPECT_FALSE(dialog.m_bFullScreen);
    EXPECT_EQ(Window().rect, At(0, 0, 1024, 768));
}

TEST_F(PlayerDlgTest, MenuFullscreenTwiceReturnsToTheWindowedPlace)
{
    WriteMovie("main.swf", 550, 400);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\n");
    CPlayerDlg& dialog = Open();

    Command(ID_FULLSCREEN);
    EXPECT_TRUE(dialog.m_bFullScreen);
    EXPECT_EQ(Window().rect, At(0, 0, 1024, 768));
    EXPECT_EQ(ControlWindow().rect, At(0, 0, 1024, 768));
    Command(ID_FULLSCREEN);
    EXPECT_FALSE(dialog.m_bFullScreen);
    EXPECT_EQ(Window().rect, At(237, 184, 550, 400));
    EXPECT_EQ(ControlWindow().rect, At(0, 0, 550, 400));
}

TEST_F(PlayerDlgTest, CommandsReachTheirHandlers)
{
    WriteMovie("main.swf", 550, 400);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\n");
    CPlayerDlg& dialog = Open();

    Command(ID_ALWAYS_ON_TOP);
    EXPECT_TRUE(dialog.m_bTopMost);
    EXPECT_TRUE(Window().topmost);
    EXPECT_EQ(Window().rect, At(237, 184, 550, 400)); // neither moved nor sized
    Command(ID_ALWAYS_ON_TOP);
    EXPECT_FALSE(dialog.m_bTopMost);
    EXPECT_FALSE(Window().topmost);

    Command(ID_STOP);
    Command(ID_PLAY);
    EXPECT_EQ(Control().CallsTo(CShockwaveFlash::dispidStop).size(), 1u);
    EXPECT_EQ(Control().CallsTo(CShockwaveFlash::dispidPlay).size(), 1u);

    Command(ID_MINIMIZE_WINDOW);
    EXPECT_TRUE(dialog.IsIconic());
    EXPECT_FALSE(dialog.IsEnded());

    Command(ID_QUIT);
    EXPECT_TRUE(dialog.IsEnded());
}

TEST_F(PlayerDlgTest, MinimisedWindowPaintsItsIconCentred)
{
    WriteMovie("main.swf", 551, 401);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\n");
    CPlayerDlg& dialog = Open();

    dialog.SendMessage(WM_PAINT);
    EXPECT_TRUE(m_backend.m_drawnIcons.empty());
    Command(ID_MINIMIZE_WINDOW);
    dialog.SendMessage(WM_PAINT);
    ASSERT_EQ(m_backend.m_drawnIcons.size(), 1u);
    EXPECT_EQ(m_backend.m_drawnIcons[0].x, (551 - 32 + 1) / 2);
    EXPECT_EQ(m_backend.m_drawnIcons[0].y, (401 - 32 + 1) / 2);
    EXPECT_EQ(m_backend.m_drawnIcons[0].icon, dialog.m_hIcon);
}

TEST_F(PlayerDlgTest, RightButtonAnywhereOpensTheMenuAtTheCursor)
{
    WriteMovie("main.swf", 550, 400);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\n");
    CPlayerDlg& dialog = Open();
    m_backend.m_cursor = { 300, 250 };

    // On the movie area: the control passes it on to the dialog, which consumes it.
    MSG onMovie { dialog.m_flash.m_hWnd, WM_RBUTTONDOWN, 0x0002, MAKELPARAM(63, 66) };
    EXPECT_TRUE(CWnd::PreTranslateInput(&onMovie));
    MSG onDialog { dialog.m_hWnd, WM_RBUTTONDOWN, 0x0002, 0 };
    EXPECT_TRUE(CWnd::PreTranslateInput(&onDialog));

    ASSERT_EQ(m_backend.m_popups.size(), 2u);
    const auto& popup = m_backend.m_popups[0];
    EXPECT_EQ(popup.at, (POINT { 300, 250 }));
    EXPECT_EQ(popup.owner, dialog.m_hWnd);
    ASSERT_EQ(popup.items.size(), 8u);
    std::vector<UINT> ids;
    for (const auto& item : popup.items)
        ids.push_back(item.id);
    EXPECT_EQ(ids, (std::vector<UINT> { 0x8003, 0x8007, 0x8008, 0, 0x8005, 0x8006, 0, 0x8004 }));
    EXPECT_EQ(popup.items[4].flags, MF_GRAYED);
    EXPECT_EQ(popup.items[5].flags, MF_GRAYED);
    EXPECT_EQ(popup.items[0].flags, MF_ENABLED);

    // A left button press on the movie goes through to the control.
    MSG left { dialog.m_flash.m_hWnd, WM_LBUTTONDOWN, 0x0001, 0 };
    EXPECT_FALSE(CWnd::PreTranslateInput(&left));
}

TEST_F(PlayerDlgTest, EscapeEndsThePlayerAlsoFromTheMovieArea)
{
    WriteMovie("main.swf", 550, 400);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\n");
    CPlayerDlg& dialog = Open();

    MSG other { dialog.m_flash.m_hWnd, WM_KEYDOWN, 'A', 1 };
    EXPECT_FALSE(CWnd::PreTranslateInput(&other));
    EXPECT_FALSE(dialog.IsEnded());
    MSG escape { dialog.m_flash.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 1 };
    EXPECT_TRUE(CWnd::PreTranslateInput(&escape));
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_FALSE(Window().visible);
}

TEST_F(PlayerDlgTest, FSCommandVocabularyAndCaseRules)
{
    WriteMovie("main.swf", 550, 400);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\n");
    CPlayerDlg& dialog = Open();

    for (const char* ignored : { "quit ", "quitt", "fullscreenx", "play" })
        Control().RaiseFSCommand(ignored, "true");
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_FALSE(dialog.m_bFullScreen);

    // Arguments outside true/false change nothing.
    for (const char* ignored : { "", "1", "yes", "true " }) {
        Control().RaiseFSCommand("fullscreen", ignored);
        EXPECT_FALSE(dialog.m_bFullScreen) << ignored;
    }
    EXPECT_EQ(Window().rect, At(237, 184, 550, 400));

    Control().RaiseFSCommand("FullScreen", "TRUE");
    EXPECT_TRUE(dialog.m_bFullScreen);
    EXPECT_EQ(Window().rect, At(0, 0, 1024, 768));
    Control().RaiseFSCommand("fullscreen", "True"); // already full screen: stays so
    EXPECT_TRUE(dialog.m_bFullScreen);
    EXPECT_EQ(Window().rect, At(0, 0, 1024, 768));

    Control().RaiseFSCommand("fullscreen", "false");
    EXPECT_EQ(Window().rect, At(237, 184, 550, 400));
    Window().rect = At(5, 5, 10, 10);
    Control().RaiseFSCommand("fullscreen", "FALSE"); // already windowed: re-centred
    EXPECT_FALSE(dialog.m_bFullScreen);
    EXPECT_EQ(Window().rect, At(237, 184, 550, 400));

    Control().RaiseFSCommand("MINIMIZE", "");
    EXPECT_TRUE(dialog.IsIconic());

    Control().RaiseFSCommand("QuIt", "whatever");
    EXPECT_TRUE(dialog.IsEnded());
}

// Play-all and its timer.

TEST_F(PlayerDlgTest, PlayAllLoadsTheFirstListedMovieAndStartsTheTimer)
{
    PlayAllThree();
    WriteMovie("main.swf", 100, 100);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\ntype=\r\n"); // an empty type is play-all too
    CPlayerDlg& dialog = Open();

    EXPECT_TRUE(m_app.m_bPlayAll);
    EXPECT_EQ(Window().rect, At(237, 184, 550, 400));
    EXPECT_EQ(LoadedMovies(), std::vector<std::string> { Path("a.swf") });
    EXPECT_EQ(dialog.m_nMovieCount, 3);
    EXPECT_EQ(dialog.m_nCurrentMovie, 0);
    EXPECT_EQ(dialog.m_nTimerId, IDT_PLAY_ALL);
    ASSERT_EQ(m_backend.m_timers.size(), 1u);
    EXPECT_EQ(m_backend.m_timers.begin()->second, 100u);
}

TEST_F(PlayerDlgTest, LoopingMovieAdvancesAtTheFirstLowerFrameAndMoviesCycle)
{
    PlayAllThree();
    CPlayerDlg& dialog = Open();

    std::vector<int> order { dialog.m_nCurrentMovie };
    for (int round = 0; round < 3; ++round) {
        for (int frame : { 1, 2, 3 })
            Tick(frame);
        EXPECT_EQ(dialog.m_nCurrentMovie, order.back()) << "rising frames never advance";
        Tick(1);
        order.push_back(dialog.m_nCurrentMovie);
        EXPECT_EQ(CPlayerDlg::s_nLastFrame, -1);
        EXPECT_EQ(CPlayerDlg::s_nStallCount, 0);
    }
    EXPECT_EQ(order, (std::vector<int> { 0, 1, 2, 0 }));
    EXPECT_EQ(LoadedMovies(),
        (std::vector<std::string> { Path("a.swf"), Path("b.swf"), Path("c.swf"), Path("a.swf") }));

    // Each advance sized the window to its movie; the windowed size stays the first one's.
    const auto& placements = Window().placements;
    ASSERT_GE(placements.size(), 4u);
    EXPECT_EQ(placements[placements.size() - 3], At(352, 264, 320, 240));
    EXPECT_EQ(placements[placements.size() - 2], At(112, 84, 800, 600));
    EXPECT_EQ(placements.back(), At(237, 184, 550, 400));
    EXPECT_EQ(dialog.m_nWidth, 550);

    // The background colour: the header's, else the movie's own (-1), so
    // that b's colour does not stay for c and a.
    std::vector<std::string> colours;
    for (const auto& call : Control().CallsTo(CShockwaveFlash::dispidBackgroundColor))
        colours.push_back(call.args.at(0));
    EXPECT_EQ(colours, (std::vector<std::string> { std::to_string(0x336699), "-1", "-1" }));
}

TEST_F(PlayerDlgTest, PlayAllMakesTheNextMovieReadyOnceTheCurrentOneShowsAFrame)
{
    for (bool known : { true, false }) {
        SCOPED_TRACE(known ? "a control that prepares" : "a control that cannot");
        CPlayerDlg::s_nLastFrame = -1;
        CPlayerDlg::s_nStallCount = 0;
        PlayAllThree();
        if (!known)
            CFakeControl::Install({ .unknown = { QV_DISPID_PREPARE_MOVIE } });
        CPlayerDlg& dialog = Open();
        auto prepared = [&] {
            std::vector<std::string> paths;
            for (const auto& call : Control().CallsTo(QV_DISPID_PREPARE_MOVIE))
                paths.push_back(call.args.at(0));
            return paths;
        };
        Tick(0);
        EXPECT_TRUE(prepared().empty()) << "not before the movie shows a frame";
        Tick(1);
        Tick(2);
        Tick(1); // to b
        Tick(3);
        Tick(1); // to c
        Tick(4); // c prepares a: the list wraps
        EXPECT_EQ(dialog.m_nCurrentMovie, 2);
        EXPECT_EQ(LoadedMovies(), (std::vector<std::string> { Path("a.swf"), Path("b.swf"), Path("c.swf") }));
        if (known) {
            EXPECT_EQ(prepared(), (std::vector<std::string> { Path("b.swf"), Path("c.swf"), Path("a.swf") }));
        }
        CFakeControl::Install({});
    }
}

TEST_F(PlayerDlgTest, AStoppedMovieAdvancesOnThe52ndTickAfterItsFrameWasFirstSeen)
{
    PlayAllThree();
    CPlayerDlg& dialog = Open();

    Tick(7); // first seen
    for (int i = 0; i < 51; ++i)
        Tick(7);
    EXPECT_EQ(CPlayerDlg::s_nStallCount, 51);
    EXPECT_EQ(dialog.m_nCurrentMovie, 0);
    Tick(7);
    EXPECT_EQ(dialog.m_nCurrentMovie, 1);
}

TEST_F(PlayerDlgTest, StalledTicksCountAcrossRises)
{
    PlayAllThree();
    CPlayerDlg& dialog = Open();

    Tick(5);
    for (int i = 0; i < 30; ++i)
        Tick(5); // 30 stalls
    for (int frame = 6; frame < 100; ++frame)
        Tick(frame); // rising: the count stands
    EXPECT_EQ(CPlayerDlg::s_nStallCount, 30);
    for (int i = 0; i < 21; ++i)
        Tick(99); // 51 in all
    EXPECT_EQ(dialog.m_nCurrentMovie, 0);
    Tick(99);
    EXPECT_EQ(dialog.m_nCurrentMovie, 1);
}

TEST_F(PlayerDlgTest, ASingleMovieIsReloadedOnceAndTheTimerStops)
{
    WriteMovie("only.swf", 550, 400);
    m_app.m_arrMovies = {
        "only.swf",
    };
    WriteSettings("[SETTINGS]\r\ntype=all\r\n");
    CPlayerDlg& dialog = Open();

    Tick(3);
    Tick(1);
    EXPECT_EQ(dialog.m_nCurrentMovie, 0);
    EXPECT_EQ(LoadedMovies(), (std::vector<std::string> { Path("only.swf"), Path("only.swf") }));
    EXPECT_TRUE(m_backend.m_timers.empty());
}

TEST_F(PlayerDlgTest, ASingleMovieWhoseFramesCannotBeCountedPlaysOnWithoutTheTimer)
{
    WriteMovie("only.swf", 550, 400);
    m_app.m_arrMovies = {
        "only.swf",
    };
    WriteSettings("[SETTINGS]\r\ntype=all\r\n");
    Open();

    Tick(QV_FRAME_UNCOUNTED);
    EXPECT_TRUE(m_backend.m_timers.empty());
    // Ticks that were already on their way change nothing either.
    for (int i = 0; i < 100; ++i)
        Tick(QV_FRAME_UNCOUNTED);
    EXPECT_EQ(LoadedMovies(), std::vector<std::string> { Path("only.swf") });
    EXPECT_TRUE(Control().CallsTo(CShockwaveFlash::dispidBackgroundColor).empty());
}

TEST_F(PlayerDlgTest, AmongSeveralAnUncountedMovieMovesOnAfterTheStallCount)
{
    PlayAllThree();
    CPlayerDlg& dialog = Open();

    for (int i = 0; i < 51; ++i)
        Tick(QV_FRAME_UNCOUNTED);
    EXPECT_EQ(dialog.m_nCurrentMovie, 0);
    Tick(QV_FRAME_UNCOUNTED);
    EXPECT_EQ(dialog.m_nCurrentMovie, 1);
    for (int i = 0; i < 52; ++i)
        Tick(QV_FRAME_UNCOUNTED);
    EXPECT_EQ(dialog.m_nCurrentMovie, 2);
    EXPECT_EQ(LoadedMovies(), (std::vector<std::string> { Path("a.swf"), Path("b.swf"), Path("c.swf") }));
    EXPECT_EQ(m_backend.m_timers.size(), 1u);
}

TEST_F(PlayerDlgTest, TheSavedDataFolderIsNamedByThePackageIdBeforeTheFirstLoad)
{
    ScratchFolder data;
    std::string previous = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    WriteMovie("main.swf", 550, 400);
    const std::string folder = data / "quorvel/saved/my-game_2";
    const std::string fallback = data
        / ("quorvel/saved/" + ExecutablePackageId(std::filesystem::read_symlink("/proc/self/exe").string()));
    struct Case {
        std::string settings;
        std::string folder;
    };
    const Case cases[] = {
        { "[SETTINGS]\r\nid=my-game_2\r\nmainmovie=main.swf\r\n", folder },
        { "[SETTINGS]\r\nmainmovie=main.swf\r\n", fallback },
        { "[SETTINGS]\r\nid=../../elsewhere\r\nmainmovie=main.swf\r\n", fallback },
        { "[SETTINGS]\r\nid=my-game_2\r\ntype=all\r\n", folder }, // play-all loads another way
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        m_app.m_arrMovies = { "main.swf" };
        WriteSettings(c.settings);
        Open();
        std::vector<int> order;
        for (const auto& call : Control().m_calls)
            order.push_back(call.dispid);
        ASSERT_GE(order.size(), 3u);
        EXPECT_EQ(order[1], QV_DISPID_SAVED_DATA_FOLDER);
        EXPECT_EQ(order[2], CShockwaveFlash::dispidLoadMovie);
        EXPECT_EQ(Control().m_calls[1].args, std::vector<std::string> { c.folder });
        EXPECT_FALSE(std::filesystem::exists(c.folder));
    }
    if (previous.empty())
        ::unsetenv("XDG_DATA_HOME");
    else
        ::setenv("XDG_DATA_HOME", previous.c_str(), 1);
}

TEST_F(PlayerDlgTest, AControlWithoutTheSavedDataMemberStillPlays)
{
    WriteMovie("main.swf", 550, 400);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\n");
    for (bool described : { false, true }) {
        // The member is refused as soon as the control is made: unknown
        // (COleException) or failing with a text (COleDispatchException).
        if (described)
            CFakeControl::Install({ .failing = { QV_DISPID_SAVED_DATA_FOLDER } });
        else
            CFakeControl::Install({ .unknown = { QV_DISPID_SAVED_DATA_FOLDER } });
        CPlayerDlg& dialog = Open();
        EXPECT_EQ(LoadedMovies(), std::vector<std::string> { Path("main.swf") }) << described;
        EXPECT_EQ(Window().rect, At(237, 184, 550, 400));
        // Other members' failures are not swallowed.
        Control().m_failing = { CShockwaveFlash::dispidStop };
        EXPECT_THROW(dialog.m_flash.Stop(), COleDispatchException);
    }
}

TEST_F(PlayerDlgTest, FailuresDuringAnAdvanceAreSwallowedAndTheNextAdvanceTriesTheNextMovie)
{
    PlayAllThree();
    std::filesystem::remove(m_scratch / "b.swf");
    CPlayerDlg& dialog = Open();

    Tick(4);
    Tick(2); // to b.swf, which is gone
    EXPECT_EQ(dialog.m_nCurrentMovie, 1);
    EXPECT_EQ(CPlayerDlg::s_nLastFrame, -1);
    EXPECT_EQ(CPlayerDlg::s_nStallCount, 0);
    EXPECT_EQ(LoadedMovies(), std::vector<std::string> { Path("a.swf") });

    Control().m_failing = { CShockwaveFlash::dispidBackgroundColor };
    Tick(4);
    Tick(2); // to c.swf: the automation call fails
    EXPECT_EQ(dialog.m_nCurrentMovie, 2);
    EXPECT_EQ(CPlayerDlg::s_nStallCount, 0);
    EXPECT_EQ(LoadedMovies(), std::vector<std::string> { Path("a.swf") });

    Control().m_failing.clear();
    Tick(4);
    Tick(2);
    EXPECT_EQ(dialog.m_nCurrentMovie, 0);
    EXPECT_EQ(LoadedMovies().back(), Path("a.swf"));
}

TEST_F(PlayerDlgTest, AFailingFrameReadLeavesTheCountersAlone)
{
    PlayAllThree();
    CPlayerDlg& dialog = Open();
    Tick(9);
    Control().m_failing = { CShockwaveFlash::dispidFrameNum };
    // Through the window system's entry point, as a real tick arrives.
    CWnd::DeliverMessage(dialog.m_hWnd, WM_TIMER, IDT_PLAY_ALL, 0);
    EXPECT_EQ(CPlayerDlg::s_nLastFrame, 9);
    EXPECT_EQ(CPlayerDlg::s_nStallCount, 0);
    EXPECT_THROW(dialog.SendMessage(WM_TIMER, IDT_PLAY_ALL), COleDispatchException);
}

TEST_F(PlayerDlgTest, FullScreenPlayAllDoesNotResizeOnAdvance)
{
    PlayAllThree();
    WriteSettings("[SETTINGS]\r\nfullscreen=true\r\ntype=all\r\n");
    Open();
    size_t placements = Window().placements.size();
    Tick(2);
    Tick(1);
    EXPECT_EQ(Window().placements.size(), placements);
    EXPECT_EQ(Window().rect, At(0, 0, 1024, 768));
}

// What the player does where the settings leave it nothing sound to do.

TEST_F(PlayerDlgTest, PlayAllWithNoMovieListedPlaysTheMainMovieWithoutTimer)
{
    WriteMovie("main.swf", 320, 240);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\ntype=all\r\n");
    CPlayerDlg& dialog = Open();

    EXPECT_TRUE(m_app.m_bPlayAll);
    EXPECT_EQ(dialog.m_nMovieCount, 0);
    EXPECT_EQ(Window().rect, At(352, 264, 320, 240));
    EXPECT_EQ(LoadedMovies(), std::vector<std::string> { Path("main.swf") });
    EXPECT_TRUE(m_backend.m_timers.empty());
}

TEST_F(PlayerDlgTest, AMainMovieThatCannotBeOpenedKeepsTheDefaultWindow)
{
    for (const char* settings : { "[SETTINGS]\r\nmainmovie=missing.swf\r\n", "" }) {
        WriteSettings(settings);
        CPlayerDlg& dialog = Open();
        EXPECT_EQ(Window().rect, At(192, 144, 640, 480));
        EXPECT_EQ(dialog.m_nWidth, 640);
        EXPECT_EQ(LoadedMovies().size(), 1u);
        m_dialog.reset();
    }
}

TEST_F(PlayerDlgTest, WithoutAControlTheWindowStillOpensAndEnds)
{
    CFakeControl::Uninstall();
    setenv("XDG_DATA_HOME", m_scratch.path().c_str(), 1); // an empty class registry
    WriteMovie("main.swf", 550, 400);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\n");
    CPlayerDlg& dialog = Open();
    unsetenv("XDG_DATA_HOME");

    EXPECT_EQ(dialog.m_flash.m_hWnd, nullptr);
    EXPECT_EQ(Window().rect, At(237, 184, 550, 400));
    Command(ID_PLAY);
    Command(ID_QUIT);
    EXPECT_TRUE(dialog.IsEnded());
}

TEST_F(PlayerDlgTest, AControlThatKnowsNoMemberCannotEndThePlayer)
{
    // An old control registered by something else: every call the set-up
    // makes is refused. The window still comes up, at the movie's size, and
    // the menu still ends it.
    CFakeControl::Install({ .unknown = { CShockwaveFlash::dispidScaleMode, CShockwaveFlash::dispidLoadMovie,
                                QV_DISPID_SAVED_DATA_FOLDER, CShockwaveFlash::dispidFrameNum } });
    WriteMovie("main.swf", 550, 400);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\n");
    CPlayerDlg& dialog = Open();
    EXPECT_EQ(Window().rect, At(237, 184, 550, 400));
    EXPECT_TRUE(Window().visible);
    Command(ID_QUIT);
    EXPECT_TRUE(dialog.IsEnded());
}

TEST_F(PlayerDlgTest, DoModalRunsUntilEndedAndDestroysTheWindow)
{
    WriteMovie("main.swf", 550, 400);
    WriteSettings("[SETTINGS]\r\nmainmovie=main.swf\r\n");
    CPlayerDlg dialog(nullptr);
    m_app.m_pMainWnd = &dialog;
    HWND seen = nullptr;
    m_backend.m_modalDriver = [&](HWND window) {
        seen = window;
        CWnd::DeliverMessage(window, WM_CLOSE, 0, 0); // the window manager's close request
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    ASSERT_NE(seen, nullptr);
    EXPECT_TRUE(m_backend.Find(seen)->destroyed);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(dialog.m_flash.m_hWnd, nullptr);
    EXPECT_EQ(CFakeControl::Current(), nullptr); // released with its window
}

TEST(ShockwaveFlash, RuntimeClassMakesWrappers)
{
    const CRuntimeClass& runtime = CShockwaveFlash::classCShockwaveFlash;
    EXPECT_STREQ(runtime.m_lpszClassName, "CShockwaveFlash");
    EXPECT_EQ(runtime.m_wSchema, 0xFFFFu);
    EXPECT_EQ(runtime.m_pBaseClass, &CWnd::classCWnd);
    std::unique_ptr<CObject> made(runtime.CreateObject());
    ASSERT_NE(dynamic_cast<CShockwaveFlash*>(made.get()), nullptr);
    EXPECT_TRUE(made->IsKindOf(&CWnd::classCWnd));
    EXPECT_EQ(platform::StringFromCLSID(CShockwaveFlash::clsid), QV_FLASH_CLSID);
}

} // namespace
