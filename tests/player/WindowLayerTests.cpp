// The window layer on the null window system: dialogs from their template,
// menus by locale, message routing, automation calls and the class registry.

#include "support/FakeControl.h"

#include "platform/Dialog.h"
#include "platform/Menu.h"
#include "player/ShockwaveFlash.h"
#include "res/BuiltInResources.h"
#include "support/Command.h"
#include "support/RecordingWindowBackend.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <optional>

namespace {

class WindowLayerTest : public testing::Test {
protected:
    void SetUp() override
    {
        RegisterBuiltInResources();
        m_previous = platform::SetWindowBackend(&m_backend);
    }
    void TearDown() override { platform::SetWindowBackend(m_previous); }

    CRecordingWindowBackend m_backend;
    platform::IWindowBackend* m_previous { nullptr };
};

// Sets or clears the locale variables for one test.
class LocaleScope {
public:
    LocaleScope(const char* all, const char* messages, const char* lang)
    {
        for (auto [name, value] :
            { std::pair { "LC_ALL", all }, { "LC_MESSAGES", messages }, { "LANG", lang } }) {
            const char* old = std::getenv(name);
            m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            if (value)
                setenv(name, value, 1);
            else
                unsetenv(name);
        }
    }
    ~LocaleScope()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST(MenuLocale, ChineseOnlyForSimplifiedChineseLocales)
{
    struct Case {
        const char* all;
        const char* messages;
        const char* lang;
        WORD expected;
    };
    const Case cases[] = {
        { nullptr, nullptr, "zh_CN.UTF-8", platform::LANG_ZH_CN },
        { nullptr, nullptr, "zh_SG", platform::LANG_ZH_CN },
        { nullptr, "zh_Hans", "en_US.UTF-8", platform::LANG_ZH_CN },
        { "zh_CN.GB18030", nullptr, "C", platform::LANG_ZH_CN },
        { "", "", "zh_CN", platform::LANG_ZH_CN }, // empty values do not count
        { "C", nullptr, "zh_CN.UTF-8", platform::LANG_EN_US }, // LC_ALL decides first
        { nullptr, nullptr, "zh_TW.UTF-8", platform::LANG_EN_US },
        { nullptr, nullptr, "zh_CNX", platform::LANG_EN_US },
        { nullptr, nullptr, "de_DE.UTF-8", platform::LANG_EN_US },
        { nullptr, nullptr, nullptr, platform::LANG_EN_US },
    };
    for (const Case& c : cases) {
        LocaleScope scope(c.all, c.messages, c.lang);
        EXPECT_EQ(platform::MenuLanguageForLocale(), c.expected)
            << (c.all ? c.all : "-") << " " << (c.messages ? c.messages : "-") << " "
            << (c.lang ? c.lang : "-");
    }
}

TEST(MenuLocale, TheContextMenuInBothLanguages)
{
    RegisterBuiltInResources();
    auto texts = [] {
        CMenu menu;
        EXPECT_TRUE(menu.LoadMenu(133));
        CMenu* popup = menu.GetSubMenu(0);
        std::vector<std::string> result;
        for (int i = 0; popup && i < popup->GetMenuItemCount(); ++i)
            result.push_back(popup->GetMenuString(i));
        EXPECT_EQ(menu.GetSubMenu(1), nullptr);
        return result;
    };
    {
        LocaleScope scope(nullptr, nullptr, "en_GB.UTF-8");
        EXPECT_EQ(texts(),
            (std::vector<std::string> {
                "Fullscreen", "Always on top", "Minimize Window", "", "Stop", "Play", "", "Quit" }));
    }
    {
        LocaleScope scope(nullptr, nullptr, "zh_CN.UTF-8");
        EXPECT_EQ(texts(),
            (std::vector<std::string> { "\u5168\u5C4F", "\u7A97\u53E3\u5C45\u9876", "\u6700\u5C0F\u5316", "",
                "\u505C\u6B62\u5F71\u7247", "\u64AD\u653E\u5F71\u7247", "", "\u9000\u51FA" }));
    }
}

TEST(DialogTemplate, SizeInDialogUnitsOfItsFont)
{
    DialogTemplate dialog = DialogTemplate::Parse("style=0x90000A40\nexstyle=0x00040000\ncx=114\ncy=108\n"
                                                  "font=Tahoma\npoints=8\n");
    EXPECT_EQ(dialog.style, 0x90000A40u);
    EXPECT_EQ(dialog.exStyle, WS_EX_APPWINDOW);
    EXPECT_EQ(dialog.font, "Tahoma");
    EXPECT_EQ(dialog.points, 8);
    EXPECT_EQ(dialog.PixelSize({ 6, 13 }), (SIZE { 171, 176 })); // 114 * 6 / 4, 108 * 13 / 8 rounded
    EXPECT_EQ(dialog.PixelSize({ 7, 16 }), (SIZE { 200, 216 }));
}

class PlainDialog : public CDialog {
public:
    PlainDialog()
        : CDialog(102)
    {
    }
    BOOL OnInitDialog() override
    {
        ++m_nInits;
        m_bVisibleDuringInit = (GetStyle() & WS_VISIBLE) != 0;
        return TRUE;
    }
    int m_nInits { 0 };
    bool m_bVisibleDuringInit { true };
};

TEST_F(WindowLayerTest, DialogFromTemplateIsCentredUndecoratedAndShownAfterSetUp)
{
    PlainDialog dialog;
    m_backend.m_modalDriver = [&](HWND window) {
        const auto& record = *m_backend.Find(window);
        EXPECT_EQ(record.rect, (RECT { 426, 296, 426 + 171, 296 + 176 }));
        EXPECT_TRUE(record.visible);
        EXPECT_EQ(record.exStyle, WS_EX_APPWINDOW);
        CWnd::DeliverMessage(window, WM_COMMAND, IDOK, 0);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_nInits, 1);
    EXPECT_FALSE(dialog.m_bVisibleDuringInit);
    EXPECT_EQ(m_backend.m_nModalLoops, 1);
}

TEST_F(WindowLayerTest, CloseRequestIsCancelAndADialogEndedInSetUpRunsNoLoop)
{
    PlainDialog dialog;
    m_backend.m_modalDriver = [](HWND window) { CWnd::DeliverMessage(window, WM_CLOSE, 0, 0); };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);

    struct EndsAtOnce : CDialog {
        EndsAtOnce()
            : CDialog(102)
        {
        }
        BOOL OnInitDialog() override
        {
            EndDialog(7);
            return TRUE;
        }
    } ending;
    m_backend.m_nModalLoops = 0;
    EXPECT_EQ(ending.DoModal(), 7);
    EXPECT_EQ(m_backend.m_nModalLoops, 0);

    struct NoTemplate : CDialog {
        NoTemplate()
            : CDialog(9999)
        {
        }
    } missing;
    EXPECT_EQ(missing.DoModal(), -1);
}

TEST_F(WindowLayerTest, TimersAreKeptPerWindowUntilKilledOrDestroyed)
{
    PlainDialog dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(dialog.SetTimer(110, 100), 110u);
    EXPECT_EQ(dialog.SetTimer(111, 250), 111u);
    EXPECT_TRUE(dialog.KillTimer(110));
    EXPECT_FALSE(dialog.KillTimer(110));
    EXPECT_EQ(m_backend.m_timers.size(), 1u);
    dialog.DestroyWindow();
    EXPECT_TRUE(m_backend.m_timers.empty());
    EXPECT_EQ(dialog.SetTimer(110, 100), 0u); // no window, no timer
}

TEST_F(WindowLayerTest, InvokeHelperPassesArgumentsAndRaisesFailures)
{
    CFakeControl::Install();
    PlainDialog dialog;
    ASSERT_TRUE(dialog.Create());
    CShockwaveFlash flash;
    ASSERT_TRUE(flash.Create(nullptr, "flash", WS_VISIBLE, CRect(0, 0, 10, 10), &dialog, 555));
    CFakeControl& control = *CFakeControl::Current();

    flash.LoadMovie(0, "C:\\movies\\a b.swf");
    ASSERT_EQ(control.m_calls.size(), 1u);
    EXPECT_EQ(control.m_calls[0].dispid, CShockwaveFlash::dispidLoadMovie);
    EXPECT_EQ(control.m_calls[0].kind, DISPATCH_METHOD);
    EXPECT_EQ(control.m_calls[0].args, (std::vector<std::string> { "0", "C:\\movies\\a b.swf" }));

    control.m_frames = { -5 };
    EXPECT_EQ(flash.GetFrameNum(), -5);
    EXPECT_EQ(control.m_calls.back().kind, DISPATCH_PROPERTYGET);

    control.m_failing = { CShockwaveFlash::dispidStop };
    try {
        flash.Stop();
        FAIL() << "no exception";
    } catch (const COleDispatchException& e) {
        EXPECT_EQ(e.m_strDescription, "member " + std::to_string(CShockwaveFlash::dispidStop) + " failed");
        EXPECT_EQ(e.m_scError, E_FAIL);
    }

    flash.DestroyWindow();
    EXPECT_EQ(CFakeControl::Current(), nullptr);
    EXPECT_NO_THROW(flash.Play()); // no control: nothing happens
    CFakeControl::Uninstall();
}

TEST(ClassRegistry, RegistersLooksUpAndCreatesFromModules)
{
    ScratchFolder scratch;
    const char* saved = std::getenv("XDG_DATA_HOME");
    std::optional<std::string> old = saved ? std::optional<std::string>(saved) : std::nullopt;
    setenv("XDG_DATA_HOME", scratch.path().c_str(), 1);

    // Any case, braces optional; one digit short or a wrong separator is no class id.
    std::string text = QV_FLASH_CLSID;
    std::string lower = text;
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    auto clsid = platform::CLSIDFromString(lower);
    ASSERT_TRUE(clsid);
    EXPECT_EQ(*clsid, CShockwaveFlash::clsid);
    EXPECT_EQ(platform::CLSIDFromString(text.substr(1, 36)), clsid);
    EXPECT_FALSE(platform::CLSIDFromString(text.substr(0, 36) + "}"));
    std::string badSeparator = text.substr(1, 36);
    badSeparator[8] = '+';
    EXPECT_FALSE(platform::CLSIDFromString(badSeparator));
    EXPECT_EQ(platform::GetClassRegistryPath(), scratch.path().string() + "/quorvel/classes.ini");

    QvControl* control = nullptr;
    EXPECT_EQ(platform::CoCreateInstance(*clsid, &control), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(control, nullptr);

    ASSERT_TRUE(platform::RegisterClassModule(*clsid, scratch / "missing.so"));
    auto other = platform::CLSIDFromString("{00000000-0000-0000-0000-000000000001}");
    ASSERT_TRUE(platform::RegisterClassModule(*other, "/elsewhere.so"));
    EXPECT_EQ(platform::LookupClassModule(*clsid), scratch / "missing.so");
    EXPECT_EQ(platform::LookupClassModule(*other), "/elsewhere.so");
    EXPECT_EQ(platform::CoCreateInstance(*clsid, &control), CO_E_DLLNOTFOUND);

    ASSERT_TRUE(platform::RegisterClassModule(*clsid, ""));
    EXPECT_EQ(platform::LookupClassModule(*clsid), "");
    EXPECT_EQ(platform::LookupClassModule(*other), "/elsewhere.so");

    // An in-process class comes first.
    CFakeControl::Install();
    EXPECT_EQ(platform::CoCreateInstance(*clsid, &control), S_OK);
    ASSERT_NE(control, nullptr);
    control->vtbl->Release(control);
    CFakeControl::Uninstall();

    EXPECT_EQ(platform::CoInitialize(), S_OK);
    EXPECT_EQ(platform::CoInitialize(), 1);
    EXPECT_EQ(platform::GetCoInitializeCount(), 2);
    platform::CoUninitialize();
    platform::CoUninitialize();
    platform::CoUninitialize();
    EXPECT_EQ(platform::GetCoInitializeCount(), 0);

    if (old)
        setenv("XDG_DATA_HOME", old->c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

} // namespace
