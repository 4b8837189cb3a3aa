// Device fonts: the system's CJK fonts offered to the engine, the settings
// that name them, and the requests that may reach their files.

#include "control/DeviceFonts.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using EFamily = CDeviceFonts::EFamily;

// A fontconfig configuration with only the fonts of the given folders.
std::string WriteConfig(const ScratchFolder& scratch, const std::vector<std::string>& folders)
{
    std::string path = scratch / "fonts.conf";
    std::ofstream config(path);
    config << "<?xml version=\"1.0\"?>\n<fontconfig>\n";
    for (const std::string& folder : folders)
        config << "<dir>" << folder << "</dir>\n";
    config << "<cachedir>" << (scratch / "cache") << "</cachedir>\n</fontconfig>\n";
    return path;
}

} // namespace

TEST(DeviceFonts, OnlyTheOfferedFilesCanBeRequested)
{
    CDeviceFonts fonts({
        { EFamily::Sans, "zh-cn", "/fonts/a.ttc", { "A" } },
        { EFamily::Sans, "ja", "/fonts/b.otf", { "B" } },
    });
    EXPECT_EQ(fonts.FileForRequest("0"), "/fonts/a.ttc");
    EXPECT_EQ(fonts.FileForRequest("1"), "/fonts/b.otf");
    for (const char* name : { "2", "", "00", "01", "-1", "+1", "1 ", " 1", "1.ttf", "0/../x",
             "18446744073709551617", "999999999" })
        EXPECT_EQ(fonts.FileForRequest(name), std::nullopt) << '"' << name << '"';
    EXPECT_EQ(CDeviceFonts().FileForRequest("0"), std::nullopt);
}

TEST(DeviceFonts, FilesAndNamesKeepTheOrderTheyWereMatchedIn)
{
    // One collection answers for Chinese and Japanese sans, a file of its
    // own for Korean; the serif match has no name and is left out.
    CDeviceFonts fonts({
        { EFamily::Sans, "zh-cn", "/f/cjk.ttc", { "CJK SC", "思源黑体" } },
        { EFamily::Sans, "ja", "/f/cjk.ttc", { "CJK JP" } },
        { EFamily::Sans, "ko", "/f/ko.ttf", { "Ko \"Gothic\"" } },
        { EFamily::Serif, "zh-cn", "/f/serif.ttf", {} },
        { EFamily::Mono, "zh-cn", "/f/cjk.ttc", { "CJK SC" } },
    });
    EXPECT_EQ(fonts.Files(), (std::vector<std::string> { "/f/cjk.ttc", "/f/ko.ttf" }));
    const std::string sans = R"(["CJK SC","思源黑体","CJK JP","Ko \"Gothic\"","Noto Sans"])";
    EXPECT_EQ(fonts.ConfigScript(),
        R"({"fontSources":["quorvel-control://engine/fonts/0","quorvel-control://engine/fonts/1"],)"
        R"("defaultFonts":{"sans":)"
            + sans + R"(,"serif":)" + sans
            + R"(,"typewriter":["CJK SC","思源黑体","CJK JP","Ko \"Gothic\"","Noto Sans"],)"
              R"("japaneseGothic":["CJK JP","CJK SC","思源黑体","Ko \"Gothic\"","Noto Sans"],)"
              R"("japaneseGothicMono":["CJK JP","CJK SC","思源黑体","Ko \"Gothic\"","Noto Sans"],)"
              R"("japaneseMincho":)"
            + sans + "}}");
}

TEST(DeviceFonts, WithoutCjkFontsTheEngineKeepsItsOwnSettings)
{
    EXPECT_EQ(CDeviceFonts().ConfigScript(), "{}");
    EXPECT_EQ(CDeviceFonts({ { EFamily::Sans, "zh-cn", "", { "Nameless" } } }).ConfigScript(), "{}");

    // Latin fonts only: fontconfig still answers every question, with them.
    ScratchFolder scratch;
    std::vector<std::string> folders { scratch / "none" };
    if (std::filesystem::is_directory("/usr/share/fonts/truetype/dejavu"))
        folders.push_back("/usr/share/fonts/truetype/dejavu");
    CDeviceFonts fonts = CDeviceFonts::FromFontconfig(WriteConfig(scratch, folders).c_str());
    EXPECT_TRUE(fonts.Empty());
    EXPECT_EQ(fonts.ConfigScript(), "{}");
    EXPECT_TRUE(CDeviceFonts::FromFontconfig((scratch / "missing.conf").c_str()).Empty());
}

TEST(DeviceFonts, FindsAnInstalledCjkFontUnderTheNameTheEngineGivesIt)
{
    const std::string folder = "/usr/share/fonts/truetype/wqy";
    if (!std::filesystem::exists(folder + "/wqy-microhei.ttc"))
        GTEST_SKIP() << "fonts-wqy-microhei is not installed";
    ScratchFolder scratch;
    CDeviceFonts fonts = CDeviceFonts::FromFontconfig(WriteConfig(scratch, { folder }).c_str());
    ASSERT_EQ(fonts.Files(), (std::vector<std::string> { folder + "/wqy-microhei.ttc" }));
    // The engine takes each face's first Unicode full name, here the
    // Traditional Chinese one; asked for by its English name (which
    // fontconfig lists first, for both faces), the text would stay blank.
    std::string script = fonts.ConfigScript();
    EXPECT_NE(script.find(R"("sans":["文泉驛微米黑","Noto Sans"])"), std::string::npos) << script;
    EXPECT_EQ(script.find("WenQuanYi"), std::string::npos) << script;
    EXPECT_EQ(fonts.FileForRequest("0"), folder + "/wqy-microhei.ttc");
    EXPECT_STREQ(CDeviceFonts::ContentTypeOf(*fonts.FileForRequest("0")), "font/collection");
    EXPECT_STREQ(CDeviceFonts::ContentTypeOf("/f/Font.OTF"), "font/otf");
    EXPECT_STREQ(CDeviceFonts::ContentTypeOf("/f.ttc/font"), "font/ttf");
}
