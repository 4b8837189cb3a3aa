#include "platform/FileException.h"
#include "support/Command.h"
#include "support/ScratchFolder.h"
#include "zip/ZipTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Extraction with no target folder writes into the current folder.
class InFolder {
public:
    explicit InFolder(const fs::path& folder)
        : m_saved(fs::current_path())
    {
        fs::current_path(folder);
    }
    ~InFolder() { fs::current_path(m_saved); }

private:
    fs::path m_saved;
};

mode_t ModeOf(const std::string& path)
{
    struct stat st { };
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : mode_t(-1);
}

std::tm LocalModificationTime(const std::string& path)
{
    struct stat st { };
    std::tm local {};
    if (::stat(path.c_str(), &st) == 0)
        localtime_r(&st.st_mtime, &local);
    return local;
}

size_t CountFiles(const fs::path& folder)
{
    return size_t(std::distance(fs::directory_iterator(folder), {}));
}

class Extraction : public ::testing::Test {
protected:
    ScratchFolder scratch;
    std::string Out(const std::string& name) const { return scratch / name; }
};

TEST_F(Extraction, ASampleEntryGetsItsBytesTimeAndMode)
{
    Bytes movie = NoiseBytes(70000);
    TestArchive archive;
    archive.Add("logo.swf", movie).externalAttributes = 0x81800020;
    MemoryArchive zip(archive);
    zip.Open("Pvx#d&JRTe");
    {
        InFolder here(scratch.path());
        EXPECT_TRUE(zip.reader.ExtractEntry(0, nullptr, false, nullptr, 65536));
    }
    EXPECT_EQ(ReadFileBytes(Out("logo.swf")), movie);
    EXPECT_EQ(ModeOf(Out("logo.swf")), 0600u);
    std::tm t = LocalModificationTime(Out("logo.swf"));
    EXPECT_EQ(t.tm_year + 1900, 2005);
    EXPECT_EQ(t.tm_mon + 1, 11);
    EXPECT_EQ(t.tm_mday, 24);
    EXPECT_EQ(t.tm_hour, 22);
    EXPECT_EQ(t.tm_min, 13);
    EXPECT_EQ(t.tm_sec, 36);
}

TEST_F(Extraction, StoredFoldersAreDroppedUnlessTheFullPathIsAsked)
{
    TestArchive archive;
    archive.Add("a/x.txt", ToBytes("from a"));
    archive.Add("b/x.txt", ToBytes("from b"));
    archive.Add("readme.", ToBytes("dot"));
    archive.Add("deep/er/file.bin", ToBytes("deep"));
    MemoryArchive zip(archive);
    zip.Open();
    std::string target = scratch.path().string();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(zip.reader.ExtractEntry(i, target.c_str(), false, nullptr, 65536)) << i;
    EXPECT_EQ(ReadFileBytes(Out("x.txt")), ToBytes("from b"));
    EXPECT_EQ(ReadFileBytes(Out("readme")), ToBytes("dot"));
    EXPECT_EQ(CountFiles(scratch.path()), 2u);

    EXPECT_TRUE(zip.reader.ExtractEntry(3, (target + "\\full\\").c_str(), true, nullptr, 65536));
    EXPECT_EQ(ReadFileBytes(Out("full/deep/er/file.bin")), ToBytes("deep"));
    EXPECT_TRUE(zip.reader.ExtractEntry(3, target.c_str(), false, "renamed.dat", 65536));
    EXPECT_EQ(ReadFileBytes(Out("renamed.dat")), ToBytes("deep"));
}

TEST_F(Extraction, AFolderEntryBecomesAFolder)
{
    TestArchive archive;
    archive.Add("docs/", {}).externalAttributes = 0;
    // Made on MS-DOS, yet with a Unix mode 000 in the high bits: it reaches the file system as it is.
    archive.Add("locked/", {}).externalAttributes = 0x40000010;
    MemoryArchive zip(archive);
    zip.Open();
    {
        InFolder here(scratch.path());
        EXPECT_TRUE(zip.reader.ExtractEntry(0, nullptr, false, nullptr, 65536));
    }
    EXPECT_TRUE(fs::is_directory(Out("docs")));
    EXPECT_FALSE(zip.reader.IsEntryOpen());
    EXPECT_TRUE(zip.reader.ExtractEntry(1, scratch.path().c_str(), false, nullptr, 65536));
    EXPECT_TRUE(fs::is_directory(Out("locked")));
    EXPECT_EQ(ModeOf(Out("locked")), 0700u); // the owner can always empty it
}

TEST_F(Extraction, SizesAroundTheBufferSize)
{
    TestArchive archive;
    archive.Add("empty", {});
    archive.Add("exact", NoiseBytes(65536), 8);
    archive.Add("over", NoiseBytes(65537));
    MemoryArchive zip(archive);
    zip.Open();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(zip.reader.ExtractEntry(i, scratch.path().c_str(), false, nullptr, 65536)) << i;
    EXPECT_TRUE(fs::is_regular_file(Out("empty")));
    EXPECT_EQ(fs::file_size(Out("empty")), 0u);
    EXPECT_EQ(ReadFileBytes(Out("exact")), NoiseBytes(65536));
    EXPECT_EQ(ReadFileBytes(Out("over")), NoiseBytes(65537));
}

TEST_F(Extraction, MisuseExtractsNothing)
{
    MemoryArchive zip(SingleEntryArchive("a.txt", ToBytes("A")));
    zip.Open();
    const char* target = scratch.path().c_str();
    {
        InFolder here(scratch.path());
        EXPECT_FALSE(zip.reader.ExtractEntry(0, nullptr, false, nullptr, 0));
    }
    EXPECT_FALSE(zip.reader.ExtractEntry(0, target, false, nullptr, 0)); // would never end
    EXPECT_FALSE(zip.reader.ExtractEntry(1, target, false, nullptr, 65536));
    EXPECT_FALSE(zip.reader.ExtractEntry(-1, target, false, nullptr, 65536));
    ASSERT_TRUE(zip.reader.OpenEntry(0));
    EXPECT_FALSE(zip.reader.ExtractEntry(0, target, false, nullptr, 65536));
    zip.reader.Close();
    EXPECT_FALSE(zip.reader.ExtractEntry(0, target, false, nullptr, 65536));
    EXPECT_EQ(CountFiles(scratch.path()), 0u);
}

TEST_F(Extraction, AnEntryEndingEarlyKeepsWhatItHad)
{
    TestArchive archive;
    archive.Add("short", ToBytes("announced longer"), 8).uncompressedSize = 100;
    MemoryArchive zip(archive);
    zip.Open();
    EXPECT_FALSE(zip.reader.ExtractEntry(0, scratch.path().c_str(), false, nullptr, 65536));
    EXPECT_EQ(ReadFileBytes(Out("short")), ToBytes("announced longer"));
}

// Whatever the archive is wrong about, no file with unverified contents
// stays behind, and the entry is left for the archive's close to end.
TEST_F(Extraction, ADamagedEntryLeavesNoFile)
{
    Bytes plain = NoiseBytes(5000);
    TestArchive archive;
    archive.Add("crc", plain, 8).crc = 1;
    archive.Add("corrupt", plain, 8).payload = Bytes(100, 0xFF);
    archive.Add("cut", plain, 8).compressedSize = 3000;
    archive.Add("secret", plain, 8).password = "right";
    MemoryArchive zip(archive);
    zip.Open("wrong");
    const int expected[] = { 102, 504, 101, 110 };
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(CauseOf([&] { zip.reader.ExtractEntry(i, scratch.path().c_str(), false, nullptr, 65536); }),
            expected[i])
            << i;
        EXPECT_EQ(CountFiles(scratch.path()), 0u) << i;
        zip.reader.CloseEntry(CZipReader::closeAfterException);
    }
}

TEST_F(Extraction, APlantedLinkIsNotWrittenThrough)
{
    std::string victim = Out("victim");
    WriteFileBytes(victim, ToBytes("keep me"));
    fs::create_directory(Out("out"));
    fs::create_symlink(victim, Out("out/a.txt"));
    MemoryArchive zip(SingleEntryArchive("a.txt", ToBytes("overwrite")));
    zip.Open();
    EXPECT_THROW(zip.reader.ExtractEntry(0, Out("out").c_str(), false, nullptr, 65536), CFileException);
    EXPECT_EQ(ReadFileBytes(victim), ToBytes("keep me"));
    zip.reader.Close(CZipReader::closeAfterException);
}

TEST_F(Extraction, ModesFollowTheEntrysAttributes)
{
    TestArchive archive;
    archive.Add("tool", ToBytes("#!")).externalAttributes = 0x89ED0020; // set-uid, rwxr-xr-x
    archive.Add("readonly", ToBytes("r")).externalAttributes = 0x21;
    // Made on Unix: only what the MS-DOS bits say survives (read-only here).
    TestEntry& unixFile = archive.Add("unix", ToBytes("u"));
    unixFile.versionMadeBy = 0x0314;
    unixFile.externalAttributes = 0x81240000; // r--r--r--
    MemoryArchive zip(archive);
    zip.Open();
    ASSERT_TRUE(zip.reader.ExtractEntry(0, scratch.path().c_str(), false, nullptr, 65536));
    ASSERT_TRUE(zip.reader.ExtractEntry(1, scratch.path().c_str(), false, nullptr, 65536));
    ASSERT_TRUE(zip.reader.ExtractEntry(2, scratch.path().c_str(), false, nullptr, 65536));
    EXPECT_EQ(ModeOf(Out("tool")), 0755u);
    EXPECT_EQ(ModeOf(Out("readonly")) & 0222, 0u);
    EXPECT_EQ(ModeOf(Out("unix")) & 0222, 0u);
}

struct TargetCase {
    const char* name;
    const char* folder;
    bool fullPath;
    const char* expected;
};

class TargetPath : public ::testing::TestWithParam<TargetCase> { };

TEST_P(TargetPath, IsPredicted)
{
    CZipReader reader;
    const TargetCase& c = GetParam();
    EXPECT_EQ(reader.PredictTargetPath(c.name, c.folder, c.fullPath), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, TargetPath,
    ::testing::Values(TargetCase { "logo.swf", nullptr, false, "logo.swf" },
        TargetCase { "movies\\intro.swf", "", false, "intro.swf" },
        TargetCase { "movies\\", "", false, "movies" },
        TargetCase { "movies\\intro.swf", "C:\\out\\", false, "C:\\out\\intro.swf" },
        TargetCase { "movies\\intro.swf", "C:\\out/\\", false, "C:\\out\\intro.swf" },
        TargetCase { "C:\\movies\\intro.swf", "out", true, "out\\movies\\intro.swf" },
        TargetCase { "\\\\srv\\share\\a.txt", "out", true, "out\\srv\\share\\a.txt" },
        // Kept folders never climb out of the target.
        TargetCase { "..\\..\\etc\\x", "out", true, "out\\etc\\x" },
        TargetCase { "a\\.\\..\\b/../c.swf", "out", true, "out\\a\\b\\c.swf" },
        TargetCase { "", "out\\", false, "out\\" }));

} // namespace
