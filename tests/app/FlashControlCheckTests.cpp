// The control check at start-up: which versions are spared, and what is
// written and registered otherwise.

#include "app/FlashControlCheck.h"
#include "platform/Com.h"
#include "platform/ResourceTable.h"
#include "platform/Shell.h"
#include "res/ResourceIds.h"
#include "support/Command.h"
#include "support/FakeControl.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;
using namespace platform;

namespace {

CLSID FlashClass()
{
    return *CLSIDFromString(QV_FLASH_CLSID);
}

class FlashControlCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* saved = std::getenv("XDG_DATA_HOME");
        m_savedDataHome = saved ? saved : "";
        setenv("XDG_DATA_HOME", m_data.path().c_str(), 1);
        // The test program is no player: the built one plays the tool.
        SetRegistrationProgram(QUORVEL_BINARY_DIR "/quorvel-player");
    }
    void TearDown() override
    {
        WaitForPendingRegistrations();
        SetRegistrationProgram("");
        CFakeControl::Uninstall();
        if (m_savedDataHome.empty())
            unsetenv("XDG_DATA_HOME");
        else
            setenv("XDG_DATA_HOME", m_savedDataHome.c_str(), 1);
    }

    // A stand-in executable that carries `control` as its control resource (or nothing).
    CModule& Executable(const std::vector<unsigned char>* control)
    {
        std::vector<unsigned char> image(16, 0x7F);
        std::vector<ResourceEntry> entries;
        if (control) {
            entries.push_back(
                { std::string(RT_FLASH_CONTROL), IDR_FLASH_CONTROL, 0, image.size(), control->size() });
            image.insert(image.end(), control->begin(), control->end());
        }
        auto table = SerializeResourceTable(entries, image.size());
        image.insert(image.end(), table.begin(), table.end());
        WriteFileBytes(m_bin / "player", image);
        EXPECT_TRUE(m_module.Open((m_bin / "player").c_str()));
        return m_module;
    }

    fs::path Installed() const { return m_data.path() / "quorvel" / "system" / "flash8.ocx"; }

    std::string m_savedDataHome {};
    ScratchFolder m_data {};
    ScratchFolder m_bin {};
    CModule m_module {};
};

TEST_F(FlashControlCheckTest, MajorVersionEightIsLeftAloneWhateverTheMinor)
{
    std::vector<unsigned char> control = { 'o', 'c', 'x' };
    for (int32_t version : { QV_FLASH_VERSION, QV_FLASH_VERSION | 0xFFFF }) {
        CFakeControl::Install({ .version = version });
        EnsureFlashControl(&Executable(&control));
        EXPECT_FALSE(fs::exists(Installed())) << std::hex << version;
    }
}

TEST_F(FlashControlCheckTest, OlderAndNewerControlsAreReplacedAndRegistered)
{
    // The carried control is a real module, so that its registration can be seen.
    auto module = ReadFileBytes(QUORVEL_BINARY_DIR "/tests/quorvel_version9_control.so");
    ASSERT_FALSE(module.empty());
    for (int32_t version : { 7 << 16, 9 << 16, 0x7FFF << 16 }) {
        fs::remove(Installed());
        RegisterClassModule(FlashClass(), "");
        CFakeControl::Install({ .version = version });
        EnsureFlashControl(&Executable(&module));
        ASSERT_TRUE(fs::exists(Installed())) << std::hex << version;
        EXPECT_EQ(ReadFileBytes(Installed().string()), module);
        WaitForPendingRegistrations();
        EXPECT_EQ(LookupClassModule(FlashClass()), Installed().string());
    }
}

TEST_F(FlashControlCheckTest, NoControlAtAllCountsAsAnotherVersion)
{
    std::vector<unsigned char> control(1000, 0x42);
    EnsureFlashControl(&Executable(&control));
    EXPECT_EQ(ReadFileBytes(Installed().string()), control);
    // An older file of that name is replaced as a whole.
    std::vector<unsigned char> shorter = { 1, 2, 3 };
    EnsureFlashControl(&Executable(&shorter));
    EXPECT_EQ(ReadFileBytes(Installed().string()), shorter);
}

TEST_F(FlashControlCheckTest, WithoutACarriedControlNothingHappens)
{
    CFakeControl::Install({ .version = 7 << 16 });
    EnsureFlashControl(&Executable(nullptr));
    EXPECT_FALSE(fs::exists(Installed()));
    EXPECT_EQ(LookupClassModule(FlashClass()), "");
}

TEST(SystemTools, OnlyTheRegistrationToolIsKnown)
{
    SetRegistrationProgram(QUORVEL_BINARY_DIR "/quorvel-player");
    EXPECT_EQ(ShellExecute(nullptr, "run", "notepad", "x", nullptr, 0), 2);
    EXPECT_EQ(ShellExecute(nullptr, "run", "regsvr32", " /s", nullptr, 0), 2);
    // A module that is no module: the child reports its failure, nobody waits.
    ScratchFolder scratch;
    WriteFileBytes(scratch / "not a module.ocx", { 1, 2, 3 });
    EXPECT_GT(
        ShellExecute(nullptr, "run", "regsvr32", (scratch / "not a module.ocx" + " /s").c_str(), nullptr, 0),
        32);
    WaitForPendingRegistrations();
    SetRegistrationProgram("");
}

} // namespace
