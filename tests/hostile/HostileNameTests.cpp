// Entry names that try to leave the workspace, or to be more than a name.

#include "HostileFixture.h"

#include <set>
#include <sys/stat.h>

using namespace std::string_literals;

namespace {

// What the workspace held while the player ran, files only.
std::set<std::string> FilesSeen(const TreeSnapshot& tree)
{
    std::set<std::string> names;
    for (const auto& [path, state] : tree) {
        if (S_ISREG(state.mode))
            names.insert(path);
    }
    return names;
}

TEST_F(HostileTest, TraversalAndAbsoluteNamesLandInTheWorkspaceUnderTheirLastPart)
{
    TestArchive archive;
    AddOrdinaryFiles(archive);
    archive.Add("../../outside/dotdot-slash", ToBytes("1"));
    archive.Add("..\\..\\outside\\dotdot-backslash", ToBytes("2"));
    archive.Add("a/../../../../../../../outside/deep", ToBytes("3"));
    archive.Add("/etc/x-absolute", ToBytes("4"));
    archive.Add("\\x-rooted", ToBytes("5"));
    archive.Add("C:\\x-drive", ToBytes("6"));
    archive.Add("C:x-drive-relative", ToBytes("7"));
    archive.Add("\\\\?\\unc\\server\\share\\x-unc", ToBytes("8"));
    Bytes zip = archive.Build();

    auto outcome = RunStartup(zip);
    ExpectPlayed(outcome);
    EXPECT_EQ(FilesSeen(outcome.workspace),
        (std::set<std::string> { "package.ini", "logo.swf", "dotdot-slash", "dotdot-backslash", "deep",
            "x-absolute", "x-rooted", "x-drive", "x-drive-relative", "x-unc" }));

    auto extracted = RunExtract(zip);
    EXPECT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(FilesSeen(extracted.files), FilesSeen(outcome.workspace));
}

// Names whose last part is "." or ".." name the workspace or its parent: a
// file cannot be written there, so the package is refused.
TEST_F(HostileTest, FileNamedDotDotIsRefused)
{
    for (const char* name : { "..", "a/..", "...", "x/." }) {
        TestArchive archive;
        AddOrdinaryFiles(archive);
        archive.Add(name, ToBytes("payload"));
        Bytes zip = archive.Build();
        SCOPED_TRACE(name);
        ExpectRefusedWithMessage(RunStartup(zip));
        EXPECT_NE(RunExtract(zip).status, 0);
    }
}

// A folder entry whose last part is "." or ".." must not change the
// permissions of the workspace or of the folder above it.
TEST_F(HostileTest, FolderEntryNamedDotDotChangesNothingAboveTheWorkspace)
{
    for (const char* name : { "../", "a/../", ".../", "x/.../", "./" }) {
        TestArchive archive;
        AddOrdinaryFiles(archive);
        auto& folder = archive.Add(name, {});
        // A Unix mode in the high word is applied as it stands.
        folder.externalAttributes = (040777u << 16) | 0x10;
        Bytes zip = archive.Build();
        SCOPED_TRACE(name);
        ExpectPlayed(RunStartup(zip));
        EXPECT_EQ(RunExtract(zip).status, 0);
    }
}

// A name ends at its first NUL: what follows (here a climb out of the
// workspace) is never seen. A name that is empty there cannot be written.
TEST_F(HostileTest, NulByteInsideANameStaysInTheWorkspace)
{
    TestArchive archive;
    AddOrdinaryFiles(archive);
    archive.Add("cut.swf\0/../../outside/after-nul"s, ToBytes("n"));
    auto outcome = RunStartup(archive.Build());
    ExpectPlayed(outcome);
    EXPECT_EQ(outcome.workspace["cut.swf"].content, "n");
    EXPECT_FALSE(outcome.workspace.count("after-nul"));

    archive.Add("\0hidden"s, ToBytes("h"));
    Bytes zip = archive.Build();
    ExpectRefusedWithMessage(RunStartup(zip));
    EXPECT_NE(RunExtract(zip).status, 0);
}

TEST_F(HostileTest, NamesOfFiveThousandBytes)
{
    // One long last part: too long for the file system, refused with a message.
    {
        TestArchive archive;
        AddOrdinaryFiles(archive);
        archive.Add(std::string(4996, 'n') + ".swf", ToBytes("long"));
        Bytes zip = archive.Build();
        ExpectRefusedWithMessage(RunStartup(zip));
        EXPECT_NE(RunExtract(zip).status, 0);
    }
    // Many folders before a short last part: the folders are dropped.
    {
        TestArchive archive;
        AddOrdinaryFiles(archive);
        std::string name;
        while (name.size() < 5000)
            name += "../a/";
        archive.Add(name + "deep.swf", ToBytes("deep"));
        Bytes zip = archive.Build();
        auto outcome = RunStartup(zip);
        ExpectPlayed(outcome);
        EXPECT_TRUE(FilesSeen(outcome.workspace).count("deep.swf"));
        EXPECT_EQ(RunExtract(zip).status, 0);
    }
}

TEST_F(HostileTest, SameNameTwiceKeepsTheLaterEntry)
{
    TestArchive archive;
    AddOrdinaryFiles(archive);
    archive.Add("twice.swf", ToBytes("first"));
    archive.Add("other/twice.swf", ToBytes("second, and longer"));
    Bytes zip = archive.Build();

    auto outcome = RunStartup(zip);
    ExpectPlayed(outcome);
    EXPECT_EQ(outcome.workspace["twice.swf"].content, "second, and longer");
    EXPECT_EQ(RunExtract(zip).files["twice.swf"].content, "second, and longer");
}

TEST_F(HostileTest, SixtyFiveThousandFiveHundredThirtyFiveEntries)
{
    TestArchive archive;
    AddOrdinaryFiles(archive);
    while (archive.entries.size() < 65535) {
        std::string name = "e"; // appended: GCC 12 at -O3 warns falsely (-Wrestrict) about "e" + ...
        name += std::to_string(archive.entries.size());
        archive.Add(name, {});
    }
    Bytes zip = archive.Build();

    auto outcome = RunStartup(zip);
    ExpectPlayed(outcome);
    EXPECT_EQ(FilesSeen(outcome.workspace).size(), 65535u);
}

} // namespace
