// package.ini: the three settings and the profile reader behind them.

#include "app/CarriedSettings.h"
#include "app/PackageSettings.h"
#include "support/ArchiveBuilder.h"
#include "support/Command.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

namespace {

CPackageSettings ReadWith(const std::string& text)
{
    static ScratchFolder s_scratch;
    WriteFileBytes(s_scratch / "package.ini", std::vector<unsigned char>(text.begin(), text.end()));
    return CPackageSettings::Read(s_scratch.path().string());
}

TEST(PackageSettings, FullScreenOnlyForTrueInAnyCase)
{
    for (const char* yes : { "fullscreen=true", "fullscreen=TRUE", "fullscreen=True", "FullScreen=true",
             "  fullscreen  =  true  ", "fullscreen=\"true\"", "fullscreen='True'" })
        EXPECT_TRUE(ReadWith(std::string("[SETTINGS]\r\n") + yes + "\r\n").m_bFullScreen) << yes;
    for (const char* no :
        { "fullscreen=yes", "fullscreen=1", "fullscreen=", "fullscreen=false", "fullscreen=\"true'" })
        EXPECT_FALSE(ReadWith(std::string("[SETTINGS]\r\n") + no + "\r\n").m_bFullScreen) << no;
}

TEST(PackageSettings, TypeDecidesBetweenOneMovieAndAll)
{
    EXPECT_FALSE(ReadWith("[SETTINGS]\r\ntype=Resource\r\n").m_bPlayAll);
    EXPECT_FALSE(ReadWith("[SETTINGS]\r\nmainmovie=a.swf\r\n").m_bPlayAll); // missing key: the default
    EXPECT_TRUE(ReadWith("[SETTINGS]\r\ntype=\r\n").m_bPlayAll); // present but empty: not the default
    EXPECT_TRUE(ReadWith("[SETTINGS]\r\ntype=all\r\n").m_bPlayAll);
}

TEST(PackageSettings, MissingFileOrSectionGivesDefaults)
{
    CPackageSettings none = CPackageSettings::Read("/nonexistent/folder");
    EXPECT_FALSE(none.m_bFullScreen);
    EXPECT_FALSE(none.m_bPlayAll);
    EXPECT_EQ(none.m_strMainMovie, "");
    CPackageSettings other = ReadWith("[OTHER]\nfullscreen=true\ntype=all\nmainmovie=x.swf\n");
    EXPECT_FALSE(other.m_bFullScreen);
    EXPECT_FALSE(other.m_bPlayAll);
    EXPECT_EQ(other.m_strMainMovie, "");
}

TEST(PackageSettings, SampleFileAndFirstMatchWins)
{
    CPackageSettings sample
        = ReadWith("\xEF\xBB\xBF[SETTINGS]\r\nfullscreen=false\r\nmainmovie=logo.swf\r\n");
    EXPECT_EQ(sample.m_strMainMovie, "logo.swf");
    CPackageSettings twice = ReadWith(
        "[settings]\nmainmovie=first.swf\nmainmovie=second.swf\n[SETTINGS]\nmainmovie=third.swf\n");
    EXPECT_EQ(twice.m_strMainMovie, "first.swf");
}

TEST(PackageSettings, LongValuesAreCutTo299Characters)
{
    std::string name(400, 'm');
    CPackageSettings settings = ReadWith("[SETTINGS]\r\nmainmovie=" + name + "\r\n");
    EXPECT_EQ(settings.m_strMainMovie, name.substr(0, 299));
}

TEST(PackageSettings, BinaryBytesAndHugeFilesDoNotHurt)
{
    std::string junk(1 << 20, '\0');
    for (size_t i = 0; i < junk.size(); ++i)
        junk[i] = char((i * 7919) & 0xFF);
    CPackageSettings settings = ReadWith(junk + "\n[SETTINGS]\nmainmovie=after.swf\n");
    EXPECT_EQ(settings.m_strMainMovie.size() <= 299, true);
}

TEST(ReadIniString, DefaultLosesTrailingBlanks)
{
    EXPECT_EQ(ReadIniString("SETTINGS", "missing", "value  ", "/nonexistent/package.ini"), "value");
}

} // namespace

// The id a packaged player reads from its own archive before unpacking it
// (its windows' class) is the one the unpacked package.ini gives.
TEST(CarriedSettings, TheIdIsTheOneTheUnpackedSettingsGive)
{
    auto idOf = [](const TestArchive& archive) {
        Bytes bytes = archive.Build();
        return CarriedPackageId(bytes.data(), DWORD(bytes.size()));
    };
    TestArchive plain;
    plain.Add("package.ini", ToBytes("[SETTINGS]\r\nmainmovie=a.swf\r\nID = \"space-game\" \r\n"));
    plain.Add("a.swf", ToBytes("FWS"));
    EXPECT_EQ(idOf(plain), "space-game");

    // Extraction drops the folders and a later file replaces an earlier one.
    TestArchive layered;
    layered.Add("package.ini", ToBytes("[SETTINGS]\nid=first\n"));
    layered.Add("levels/package.ini", ToBytes("[SETTINGS]\nid=second\n"), 8).password = "Pvx#d&JRTe";
    layered.Add("package.ini.txt", ToBytes("[SETTINGS]\nid=third\n"));
    EXPECT_EQ(idOf(layered), "second");

    TestArchive none;
    none.Add("a.swf", ToBytes("FWS"));
    none.Add("settings/", {});
    EXPECT_EQ(idOf(none), "");
    TestArchive otherPassword;
    otherPassword.Add("package.ini", ToBytes("[SETTINGS]\nid=x\n")).password = "wrong";
    EXPECT_EQ(idOf(otherPassword), "");
    Bytes damaged = plain.Build();
    damaged.resize(damaged.size() / 2);
    EXPECT_EQ(CarriedPackageId(damaged.data(), DWORD(damaged.size())), "");
}
