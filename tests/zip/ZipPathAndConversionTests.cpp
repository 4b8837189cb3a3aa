#include "support/Command.h"
#include "support/ScratchFolder.h"
#include "zip/ZipBytes.h"
#include "zip/ZipException.h"
#include "zip/ZipFileSystem.h"
#include "zip/ZipPath.h"
#include "zip/ZipTestSupport.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace ZipFileSystem;

namespace {

struct SplitCase {
    const char* path;
    const char* prefix;
    const char* drive;
    const char* directory;
    const char* title;
    const char* extension;
    const char* folderPart;
    const char* namePart;
};

class PathSplit : public ::testing::TestWithParam<SplitCase> { };

TEST_P(PathSplit, TakesThePathApart)
{
    const SplitCase& c = GetParam();
    CZipPath path(c.path);
    EXPECT_EQ(path.prefix, c.prefix);
    EXPECT_EQ(path.drive, c.drive);
    EXPECT_EQ(path.directory, c.directory);
    EXPECT_EQ(path.title, c.title);
    EXPECT_EQ(path.extension, c.extension);
    EXPECT_EQ(path.FolderPart(), c.folderPart);
    EXPECT_EQ(path.NamePart(), c.namePart);
}

INSTANTIATE_TEST_SUITE_P(Examples, PathSplit,
    ::testing::Values(SplitCase { "logo", "", "", "", "logo", "", "", "logo" },
        SplitCase { "\\\\server\\share\\f.txt", "\\\\", "", "server\\share", "f", "txt", "\\\\server\\share",
            "f.txt" },
        SplitCase { "\\\\?\\UNC\\srv\\share\\dir\\movie.swf", "\\\\?\\UNC\\", "", "srv\\share\\dir", "movie",
            "swf", "\\\\?\\UNC\\srv\\share\\dir", "movie.swf" },
        SplitCase { "\\\\?\\c:\\x\\y.z", "\\\\?\\", "c:", "x", "y", "z", "\\\\?\\c:\\x", "y.z" },
        // Three matching characters are no prefix: they stay with the folder.
        SplitCase { "\\\\?x\\f", "", "", "?x", "f", "", "?x", "f" },
        SplitCase { "C:\\x\\readme.", "", "C:", "x", "readme", "", "C:\\x", "readme" },
        SplitCase { "C:file.tar.gz", "", "C:", "", "file.tar", "gz", "C:", "file.tar.gz" },
        SplitCase { "a.b/c", "", "", "a.b/", "c", "", "a.b/", "c" },
        SplitCase { "dir\\..hidden", "", "", "dir", ".", "hidden", "dir", "..hidden" }));

TEST(PathSplit, WithoutDriveKeepsFoldersAndName)
{
    EXPECT_EQ(CZipPath("C:\\movies\\intro.swf").WithoutDrive(), "movies\\intro.swf");
    EXPECT_EQ(CZipPath("\\\\?\\UNC\\srv\\a.b").WithoutDrive(), "srv\\a.b");
    EXPECT_EQ(CZipPath("C:\\dir\\").WithoutDrive(), "dir");
    EXPECT_EQ(CZipPath("C:\\dir\\f").Joined(), "C:\\dir\\f");
}

class FileSystemHelpers : public ::testing::Test {
protected:
    ScratchFolder scratch;
    std::string In(const std::string& name) const { return scratch / name; }
};

TEST_F(FileSystemHelpers, MakeFolderPathCreatesEveryMissingFolder)
{
    EXPECT_TRUE(MakeFolderPath("C:\\"));
    EXPECT_TRUE(MakeFolderPath("C:"));
    EXPECT_TRUE(MakeFolderPath(""));
    EXPECT_FALSE(fs::exists("C:"));

    std::string deep = In("a") + "\\b\\c\\\\";
    EXPECT_TRUE(MakeFolderPath(deep.c_str()));
    EXPECT_TRUE(fs::is_directory(In("a/b/c")));
    EXPECT_TRUE(MakeFolderPath(deep.c_str())); // already there

    WriteFileBytes(In("file"), { 'x' });
    EXPECT_FALSE(MakeFolderPath(In("file").c_str()));
    EXPECT_FALSE(MakeFolderPath((In("file") + "\\sub").c_str()));
}

TEST_F(FileSystemHelpers, PathKindTellsFilesFromFolders)
{
    WriteFileBytes(In("file"), { 'x' });
    fs::create_symlink(In("file"), In("link"));
    EXPECT_EQ(PathKind(In("file").c_str()), PathType::file);
    EXPECT_EQ(PathKind(scratch.path().c_str()), PathType::folder);
    EXPECT_EQ(PathKind(In("missing").c_str()), PathType::missing);
    EXPECT_EQ(PathKind("C:\\Windows"), PathType::missing);
    auto before = fs::current_path();
    EXPECT_TRUE(FolderExists(scratch.path().c_str()));
    EXPECT_FALSE(FolderExists(In("file").c_str()));
    EXPECT_EQ(fs::current_path(), before); // the probe puts the current folder back
}

TEST_F(FileSystemHelpers, ApplyModTimeSetsTheTimeOrNow)
{
    std::string file = In("f");
    WriteFileBytes(file, { 'x' });
    struct stat st { };
    ASSERT_TRUE(ApplyModTime(file.c_str(), 1000000000));
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1000000000);

    std::time_t now = std::time(nullptr);
    ASSERT_TRUE(ApplyModTime(file.c_str(), -1));
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_LE(std::abs(st.st_mtime - now), 2);
    EXPECT_LE(std::abs(st.st_atime - now), 2);

    EXPECT_FALSE(ApplyModTime(In("missing").c_str(), -1));
}

struct AttributeCase {
    DWORD attributes;
    int from;
    DWORD expected;
};

class AttributeTranslation : public ::testing::TestWithParam<AttributeCase> { };

TEST_P(AttributeTranslation, ToThisHost)
{
    const AttributeCase& c = GetParam();
    EXPECT_EQ(TranslateAttributes(c.attributes, c.from, 0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, AttributeTranslation,
    ::testing::Values(AttributeCase { 0x81A40020, 3, 0x20 }, AttributeCase { 0x81A40020, 0, 0x81A40020 },
        AttributeCase { 0x41ED0000, 3, 0x10 }, AttributeCase { 0x81240000, 3, 0x21 },
        AttributeCase { 0x80000000, 3, 0x23 }, AttributeCase { 0x81C0003F, 3, 0x00 },
        AttributeCase { 0x13, 7, 0x11 }, AttributeCase { 0x81A40020, 6, 0x81A40020 },
        AttributeCase { 0x81A40020, 10, 0x81A40020 }, AttributeCase { 0x1234, 12, 0x1234 }));

TEST(AttributeTranslation, SystemsWithoutAConversionAreUnsupported)
{
    for (int system : { 1, 2, 4, 5, 8, 9 })
        EXPECT_EQ(CauseOf([&] { TranslateAttributes(0x20, system, 0); }), 115) << system;
    EXPECT_EQ(TranslateAttributes(0x20, 1, 1), 0x20u);
}

std::tm Local(std::time_t t)
{
    std::tm fields {};
    localtime_r(&t, &fields);
    return fields;
}

TEST(DosTime, BecomesLocalCalendarTime)
{
    std::tm zero = Local(DosTimeToCalendar(0, 0)); // day 0 of month -1 of 1980
    EXPECT_EQ(zero.tm_year + 1900, 1979);
    EXPECT_EQ(zero.tm_mon + 1, 11);
    EXPECT_EQ(zero.tm_mday, 30);
    EXPECT_EQ(zero.tm_hour * 3600 + zero.tm_min * 60 + zero.tm_sec, 0);

    std::tm sample = Local(DosTimeToCalendar(0xB1B2, 0x3378));
    EXPECT_EQ(sample.tm_year + 1900, 2005);
    EXPECT_EQ(sample.tm_mon + 1, 11);
    EXPECT_EQ(sample.tm_mday, 24);
    EXPECT_EQ(sample.tm_hour, 22);
    EXPECT_EQ(sample.tm_min, 13);
    EXPECT_EQ(sample.tm_sec, 36);
}

CZipBytes BytesOf(const char* text)
{
    CZipBytes bytes;
    bytes.Allocate(DWORD(std::strlen(text)));
    std::memcpy(bytes.data(), text, bytes.size());
    return bytes;
}

std::string TextOf(const CZipBytes& bytes)
{
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TEST(Names, SlashesChangeBothWaysOverTheWholeBuffer)
{
    CZipBytes name = BytesOf("a/b\\c/");
    ChangeSlashes(name, true);
    EXPECT_EQ(TextOf(name), "a\\b\\c\\");
    ChangeSlashes(name, false);
    EXPECT_EQ(TextOf(name), "a/b/c/");
    CZipBytes empty;
    ChangeSlashes(empty, true);
    ConvertOemAnsi(empty, false);
    CZipBytes utf8 = BytesOf("caf\xC3\xA9");
    ConvertOemAnsi(utf8, false);
    EXPECT_EQ(TextOf(utf8), "caf\xC3\xA9");
}

} // namespace
