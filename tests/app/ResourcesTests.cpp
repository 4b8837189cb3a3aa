// The player's built-in resources and the lookups over them.

#include "platform/LastError.h"
#include "platform/Resources.h"
#include "res/BuiltInResources.h"
#include "res/ResourceIds.h"
#include "support/Command.h"
#include "support/PackagedModule.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace platform;

namespace {

std::string Text(HRSRC resource)
{
    return std::string(static_cast<const char*>(LockResource(LoadResource(nullptr, resource))),
        SizeofResource(nullptr, resource));
}

TEST(BuiltInResources, TitleDialogMenusAndIcon)
{
    RegisterBuiltInResources();
    EXPECT_EQ(Text(FindResource(nullptr, IDS_TITLE, RT_STRING)), "Quorvel");
    EXPECT_NE(
        Text(FindResource(nullptr, IDD_PLAYER_DIALOG, RT_DIALOG)).find("cx=114\ncy=108"), std::string::npos);

    std::string english = Text(FindResourceEx(nullptr, RT_MENU, IDR_RIGHT_MENU, LANG_EN_US));
    std::string chinese = Text(FindResourceEx(nullptr, RT_MENU, IDR_RIGHT_MENU, LANG_ZH_CN));
    EXPECT_NE(english.find("ITEM 0x8004 - Quit"), std::string::npos);
    EXPECT_NE(chinese.find("ITEM 0x8003 - \xE5\x85\xA8\xE5\xB1\x8F"), std::string::npos); // 全屏

    std::string icon = Text(FindResource(nullptr, IDR_MAINFRAME, RT_GROUP_ICON));
    ASSERT_GT(icon.size(), 24u);
    EXPECT_EQ(icon.substr(0, 8), "\x89PNG\r\n\x1A\n");
    EXPECT_EQ(icon.substr(16, 8), std::string("\0\0\0\x30\0\0\0\x30", 8)); // 48 x 48
}

TEST(BuiltInResources, FailedLookupsSetTheirErrorCodes)
{
    RegisterBuiltInResources();
    EXPECT_EQ(FindResource(nullptr, IDR_PACKAGE, RT_PACKAGE), nullptr);
    EXPECT_EQ(GetLastError(), 1813u);
    EXPECT_EQ(FindResource(nullptr, 999, RT_MENU), nullptr);
    EXPECT_EQ(GetLastError(), 1814u);
}

TEST(AppendedResources, AreFoundInAPackagedModuleAndBadTablesIgnored)
{
    ScratchFolder scratch;
    std::vector<unsigned char> zip = { 'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 };
    WritePackagedModule(scratch / "player", &zip);
    CModule module;
    ASSERT_TRUE(module.Open((scratch / "player").c_str()));
    HRSRC found = FindResource(&module, IDR_PACKAGE, RT_PACKAGE);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(SizeofResource(&module, found), zip.size());
    EXPECT_EQ(std::memcmp(LockResource(LoadResource(&module, found)), zip.data(), zip.size()), 0);

    // A trailer whose table claims more than the file holds is no table at all.
    auto image = ReadFileBytes(scratch / "player");
    image[image.size() - 16] = 0xFF;
    WriteFileBytes(scratch / "damaged", image);
    CModule damaged;
    ASSERT_TRUE(damaged.Open((scratch / "damaged").c_str()));
    EXPECT_EQ(FindResource(&damaged, IDR_PACKAGE, RT_PACKAGE), nullptr);
}

} // namespace
