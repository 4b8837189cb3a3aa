// quorvel-pack list and extract, run as a user runs them.

#include "support/ArchiveBuilder.h"
#include "support/Command.h"
#include "support/ScratchFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const std::string s_pack = QUORVEL_BINARY_DIR "/quorvel-pack";
const char* const s_packagePassword = "Pvx#d&JRTe";

class PackTool : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const Bytes& bytes) const
    {
        std::string path = scratch / name;
        WriteFileBytes(path, bytes);
        return path;
    }
    CommandResult Pack(const std::string& arguments) const
    {
        return RunCommand(ShellQuote(s_pack) + " " + arguments);
    }
    CommandResult Extract(const std::string& package, const std::string& extra = "") const
    {
        return Pack("extract " + ShellQuote(package) + " " + ShellQuote(scratch / "out") + extra);
    }

    ScratchFolder scratch;
};

TEST_F(PackTool, ListPrintsOneLinePerEntryInIndexOrder)
{
    TestArchive archive;
    archive.Add("package.ini", ToBytes("[SETTINGS]"));
    archive.Add("movies/", {}).externalAttributes = 0x10;
    archive.Add("movies/intro.swf", NoiseBytes(100), 8).password = s_packagePassword;
    archive.centralOrder = { 2, 0, 1 }; // index order is data order, not this
    CommandResult result = Pack("list " + ShellQuote(Write("p.zip", archive.Build())));
    ASSERT_EQ(result.status, 0) << result.err;

    std::istringstream lines(result.out);
    std::vector<std::string> names;
    for (std::string line; std::getline(lines, line);) {
        size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        names.push_back(line.substr(0, tab));
    }
    EXPECT_EQ(names, (std::vector<std::string> { "package.ini", "movies\\", "movies\\intro.swf" }));
}

TEST_F(PackTool, ExtractUnpacksEveryEntryFlatWithThePackagePassword)
{
    TestArchive archive;
    archive.Add("package.ini", ToBytes("[SETTINGS]")).password = s_packagePassword;
    archive.Add("docs/", {}).externalAttributes = 0x10;
    archive.Add("movies/logo.swf", NoiseBytes(70000), 8).password = s_packagePassword;
    std::string package = Write("p.zip", archive.Build());
    CommandResult result = Extract(package);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(ReadFileBytes(scratch / "out/package.ini"), ToBytes("[SETTINGS]"));
    EXPECT_EQ(ReadFileBytes(scratch / "out/logo.swf"), NoiseBytes(70000));
    EXPECT_TRUE(fs::is_directory(scratch / "out/docs"));

    TestArchive other;
    other.Add("a.txt", ToBytes("other password")).password = "another";
    package = Write("o.zip", other.Build());
    EXPECT_EQ(Extract(package, " --password another").status, 0);
    EXPECT_EQ(ReadFileBytes(scratch / "out/a.txt"), ToBytes("other password"));
    EXPECT_EQ(Extract(package, " --password=another").status, 0);
}

TEST_F(PackTool, ZipErrorsAreReportedWithTheirDescription)
{
    TestArchive wrongCrc;
    wrongCrc.Add("a.txt", ToBytes("payload")).crc = 7;
    TestArchive shared;
    shared.Add("a", ToBytes("1"));
    shared.Add("b", ToBytes("2")).centralOffset = 0;
    TestArchive locked;
    locked.Add("a", ToBytes("secret")).password = "not the package's";

    struct {
        Bytes package;
        const char* message;
    } cases[] = {
        { wrongCrc.Build(), "error: Crc mismatched\n" },
        { shared.Build(), "error: Damaged or not a zip file\n" },
        { locked.Build(), "error: Incorrect password set for the file being decrypted\n" },
        { ToBytes("this is not an archive"),
            "error: The central directory was not found in the archive (or you were trying to open not the "
            "last "
            "disk of a multi-disk archive)\n" },
    };
    for (const auto& c : cases) {
        CommandResult result = Extract(Write("bad.zip", c.package));
        EXPECT_EQ(result.status, 2) << c.message;
        EXPECT_EQ(result.err, c.message);
    }
    EXPECT_FALSE(fs::exists(scratch / "out/a.txt")); // the unverified file went away
    EXPECT_EQ(Pack("list " + ShellQuote(Write("bad.zip", shared.Build()))).status, 2);
    EXPECT_EQ(Pack("list " + ShellQuote(scratch / "missing.zip")).status, 2);
    EXPECT_EQ(Extract(scratch / "missing.zip").status, 2);
}

TEST_F(PackTool, AnEntryThatEndsEarlyIsAWarning)
{
    TestArchive archive;
    archive.Add("short.bin", ToBytes("fewer bytes than said"), 8).uncompressedSize = 1000;
    archive.Add("fine.txt", ToBytes("fine"));
    CommandResult result = Extract(Write("p.zip", archive.Build()));
    EXPECT_EQ(result.status, 3);
    EXPECT_NE(result.err.find("short.bin"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFileBytes(scratch / "out/fine.txt"), ToBytes("fine"));
}

TEST_F(PackTool, UsageErrors)
{
    std::string package = Write("p.zip", SingleEntryArchive("a", ToBytes("a")));
    std::string q = ShellQuote(package);
    for (const std::string& arguments : { std::string(""), std::string("frobnicate"), std::string("list"),
             "list " + q + " " + q, "extract " + q, "extract " + q + " out --password",
             "extract " + q + " out --verbose", "extract " + q + " ''" }) {
        CommandResult result = Pack(arguments);
        EXPECT_EQ(result.status, 1) << arguments;
        EXPECT_NE(result.err.find("usage"), std::string::npos) << arguments;
    }
}

TEST_F(PackTool, ExtractMatchesUnzipOnAnInfoZipPackage)
{
    if (!HasProgram("zip") || !HasProgram("unzip"))
        GTEST_SKIP() << "zip and unzip are not installed";
    fs::create_directories(scratch / "src/movies");
    WriteFileBytes(scratch / "src/package.ini", ToBytes("[SETTINGS]\r\ntype=resource\r\n"));
    WriteFileBytes(scratch / "src/movies/main.swf", NoiseBytes(300000));
    WriteFileBytes(scratch / "src/movies/blank.swf", Bytes(50000, 0));
    std::string package = scratch / "p.zip";
    CommandResult made = RunCommand("cd " + ShellQuote(scratch / "src") + " && zip -q -r -P "
        + ShellQuote(s_packagePassword) + " " + ShellQuote(package) + " .");
    ASSERT_EQ(made.status, 0) << made.err;

    CommandResult result = Extract(package);
    ASSERT_EQ(result.status, 0) << result.err;
    CommandResult unzip = RunCommand("unzip -qq -j -P " + ShellQuote(s_packagePassword) + " -d "
        + ShellQuote(scratch / "theirs") + " " + ShellQuote(package));
    ASSERT_EQ(unzip.status, 0) << unzip.err;
    for (const char* name : { "package.ini", "main.swf", "blank.swf" })
        EXPECT_EQ(ReadFileBytes(scratch / ("out/" + std::string(name))),
            ReadFileBytes(scratch / ("theirs/" + std::string(name))))
            << name;
    EXPECT_EQ(ReadFileBytes(scratch / "out/main.swf"), NoiseBytes(300000));
}

} // namespace
