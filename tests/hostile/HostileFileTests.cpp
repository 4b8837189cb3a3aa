// Entries that ask for links, special modes or unusable folders, and a
// workspace that somebody prepared beforehand.

#include "HostileFixture.h"

#include "support/Command.h"

#include <sys/stat.h>

namespace {

// A Unix mode in the high word, the way our packager writes it (made on
// MS-DOS, so the mode is applied as it stands).
TestEntry& AddUnix(TestArchive& archive, const std::string& name, const std::string& content, unsigned mode)
{
    auto& entry = archive.Add(name, ToBytes(content));
    entry.versionMadeBy = 0x0014;
    entry.externalAttributes = (mode << 16) | (S_ISDIR(mode) ? 0x10 : 0x20);
    return entry;
}

TEST_F(HostileTest, SymbolicLinkEntriesBecomePlainFiles)
{
    TestArchive archive;
    AddOrdinaryFiles(archive);
    AddUnix(archive, "to-canary", "../../outside/canary", 0120777);
    AddUnix(archive, "to-passwd", "/etc/passwd", 0120777);
    // A later entry of the same name writes into the plain file, not through it.
    AddUnix(archive, "to-canary", "overwritten", 0100644);
    Bytes zip = archive.Build();

    auto outcome = RunStartup(zip);
    ExpectPlayed(outcome);
    EXPECT_TRUE(S_ISREG(outcome.workspace["to-passwd"].mode));
    EXPECT_EQ(outcome.workspace["to-passwd"].content, "/etc/passwd");
    EXPECT_EQ(outcome.workspace["to-canary"].content, "overwritten");

    auto extracted = RunExtract(zip);
    EXPECT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_TRUE(S_ISREG(extracted.files["to-passwd"].mode));
}

TEST_F(HostileTest, SetUidSetGidAndStickyBitsAreNeverApplied)
{
    TestArchive archive;
    AddOrdinaryFiles(archive);
    AddUnix(archive, "setuid", "u", 0104755);
    AddUnix(archive, "setgid", "g", 0102755);
    AddUnix(archive, "sticky-folder/", "", 041777).plain.clear();
    Bytes zip = archive.Build();

    auto outcome = RunStartup(zip);
    ExpectPlayed(outcome);
    for (const auto& [path, state] : outcome.workspace)
        EXPECT_EQ(state.mode & 07000, 0u) << path;
    EXPECT_EQ(outcome.workspace["setuid"].mode & 0777, 0755u);

    auto extracted = RunExtract(zip);
    for (const auto& [path, state] : extracted.files)
        EXPECT_EQ(state.mode & 07000, 0u) << path;
}

// Read-only folders and files: a folder keeps its owner's rights, so the
// exit step can still empty it.
TEST_F(HostileTest, ReadOnlyFoldersAreStillEmptiedAtExit)
{
    TestArchive archive;
    AddOrdinaryFiles(archive);
    AddUnix(archive, "ro/", "", 040555);
    AddUnix(archive, "ro/inside.swf", "r", 0100444);
    AddUnix(archive, "none/", "", 040000);
    auto& dos = archive.Add("dos-readonly/", {});
    dos.externalAttributes = 0x11;
    Bytes zip = archive.Build();

    auto outcome = RunStartup(zip);
    ExpectPlayed(outcome);
    EXPECT_TRUE(S_ISDIR(outcome.workspace["ro"].mode));
    EXPECT_EQ(outcome.workspace["ro"].mode & 0700, 0700u);
    EXPECT_EQ(outcome.workspace["none"].mode & 0700, 0700u);
    EXPECT_EQ(outcome.workspace["inside.swf"].mode & 0222, 0u);
}

// A link left in the workspace (by an earlier program, or by hand) is never
// written through: start-up empties what an earlier run left there, deleting
// links as links, before it unpacks; their targets stay as they were.
// (Start-up used to unpack over what it found, and so refused this package.)
TEST_F(HostileTest, LinkAlreadyInTheWorkspaceIsNotFollowed)
{
    fs::create_directories(Workspace());
    fs::create_symlink(m_outside / "canary", Workspace() / "logo.swf");
    fs::create_directory_symlink(m_outside, Workspace() / "folder-link");
    TestArchive archive;
    AddOrdinaryFiles(archive);
    Bytes zip = archive.Build();

    auto outcome = RunStartup(zip);
    ExpectPlayed(outcome);
    EXPECT_FALSE(outcome.workspace.count("folder-link"));
    EXPECT_EQ(ReadFileBytes(m_outside / "canary"), ToBytes("the user's own file"));
}

// The usual private temporary folder replaced by a link, or opened to others:
// a fresh private folder is used instead and the link's target is untouched.
TEST_F(HostileTest, PlantedTemporaryFolderIsNotUsed)
{
    fs::path usual = m_tmp / ("quorvel-" + std::to_string(::getuid()));
    for (int variant = 0; variant < 2; ++variant) {
        SCOPED_TRACE(variant);
        fs::remove_all(usual);
        if (variant == 0) {
            fs::create_directory_symlink(m_outside, usual);
        } else {
            fs::create_directory(usual);
            fs::permissions(usual, fs::perms::all);
        }
        TestArchive archive;
        AddOrdinaryFiles(archive);
        auto outcome = RunStartup(archive.Build());
        ExpectPlayed(outcome);
        EXPECT_NE(outcome.workspacePath.parent_path(), usual);
        EXPECT_FALSE(fs::exists(m_outside / "KJ"));
        fs::remove_all(outcome.workspacePath.parent_path());
    }
}

// The workspace name itself taken by a link to another folder, or by a file:
// nothing is unpacked into the link's target and nothing there is deleted.
TEST_F(HostileTest, PlantedWorkspaceIsRefused)
{
    fs::create_directories(Workspace().parent_path());
    for (int variant = 0; variant < 2; ++variant) {
        SCOPED_TRACE(variant);
        fs::remove_all(Workspace());
        if (variant == 0)
            fs::create_directory_symlink(m_outside, Workspace());
        else
            WriteFileBytes(Workspace(), ToBytes("a file"));
        TestArchive archive;
        AddOrdinaryFiles(archive);
        ExpectRefusedWithMessage(RunStartup(archive.Build()));
        EXPECT_EQ(ReadFileBytes(m_outside / "canary"), ToBytes("the user's own file"));
    }
}

} // namespace
