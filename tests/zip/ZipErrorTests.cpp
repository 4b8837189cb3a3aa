#include "platform/LastError.h"
#include "zip/ZipException.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <zlib.h>

using platform::SetLastError;

namespace {

const char* const FileNotFoundText = "The system cannot find the file specified.\r\n";

class ZipErrorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetLastError(0);
        errno = 0;
    }
};

TEST_F(ZipErrorTest, CausesWithATextOfTheirOwnDescribeAsIt)
{
    EXPECT_EQ(DescribeCause(101, false), "Damaged or not a zip file");
    EXPECT_EQ(DescribeCause(102, true), "Crc mismatched");
    EXPECT_EQ(DescribeCause(110, false), "Incorrect password set for the file being decrypted");
    EXPECT_EQ(DescribeCause(116, false),
        "The central directory was not found in the archive (or you were trying to open not the last disk of "
        "a "
        "multi-disk archive)");
    EXPECT_EQ(DescribeCause(500, false), "Zlib Library error (end of stream)");
    EXPECT_EQ(DescribeCause(505, false), "Not enough memory");
    EXPECT_EQ(DescribeCause(2, false), "No such file or directory");
    EXPECT_EQ(DescribeCause(30, false), "Read-only file system");
}

TEST_F(ZipErrorTest, CausesWithoutATextAreUnknownWithoutTheSystemFallback)
{
    EXPECT_EQ(DescribeCause(3, true), "Unknown error");
    EXPECT_EQ(DescribeCause(100, true), "Unknown error");
    EXPECT_EQ(DescribeCause(501, true), "Unknown error");
    EXPECT_EQ(DescribeCause(31, true), "Unknown error");
}

TEST_F(ZipErrorTest, CausesWithoutATextFallBackToTheSystemsLastError)
{
    SetLastError(2);
    EXPECT_EQ(DescribeCause(501, false), FileNotFoundText);
    EXPECT_EQ(DescribeCause(100, false), FileNotFoundText);
}

TEST_F(ZipErrorTest, WithoutALastErrorTheFallbackIsTheTextOfErrno)
{
    errno = 13;
    EXPECT_EQ(DescribeCause(100, false), "Permission denied");
    errno = 0;
    EXPECT_EQ(DescribeCause(100, false), "Unknown error");
}

TEST_F(ZipErrorTest, RemoveAndRenameFailuresCarryTheSystemText)
{
    SetLastError(2);
    EXPECT_EQ(
        DescribeCause(113, false), std::string("Error while removing a file (") + FileNotFoundText + ")");
    EXPECT_EQ(
        DescribeCause(114, true), std::string("Error while renaming a file (") + FileNotFoundText + ")");
}

TEST_F(ZipErrorTest, ZlibErrnoDescribesTheCurrentErrno)
{
    errno = 13;
    EXPECT_EQ(DescribeCause(502, false), "Permission denied");
    errno = 502;
    EXPECT_EQ(DescribeCause(502, false), "Unknown error");
}

// errno values of this host can collide with the layer's own causes (113 is
// EHOSTUNREACH on Linux); describing one must not describe itself forever.
TEST_F(ZipErrorTest, ErrnoValuesThatLookLikeCausesDoNotRecurse)
{
    for (int value : { 101, 113, 114, 502 }) {
        errno = value;
        EXPECT_FALSE(DescribeCause(100, false).empty()) << value;
        errno = value;
        EXPECT_FALSE(DescribeCause(502, false).empty()) << value;
        errno = value;
        EXPECT_FALSE(DescribeCause(113, false).empty()) << value;
    }
}

TEST_F(ZipErrorTest, DescribeSystemErrorKeepsTheSystemsLineBreak)
{
    SetLastError(3);
    EXPECT_EQ(DescribeSystemError(), "The system cannot find the path specified.\r\n");
    SetLastError(9999); // no text for it
    EXPECT_EQ(DescribeSystemError(), "");
}

struct ZlibCase {
    int zlibResult;
    int cause;
};

class CauseFromZlibTest : public ::testing::TestWithParam<ZlibCase> { };

TEST_P(CauseFromZlibTest, Maps)
{
    EXPECT_EQ(CauseFromZlib(GetParam().zlibResult), GetParam().cause);
}

INSTANTIATE_TEST_SUITE_P(AllCodes, CauseFromZlibTest,
    ::testing::Values(ZlibCase { Z_STREAM_END, 500 }, ZlibCase { Z_NEED_DICT, 501 },
        ZlibCase { Z_ERRNO, 502 }, ZlibCase { Z_STREAM_ERROR, 503 }, ZlibCase { Z_DATA_ERROR, 504 },
        ZlibCase { Z_MEM_ERROR, 505 }, ZlibCase { Z_BUF_ERROR, 506 }, ZlibCase { Z_VERSION_ERROR, 507 },
        ZlibCase { Z_OK, 100 }, ZlibCase { 3, 100 }, ZlibCase { -7, 100 }));

TEST_F(ZipErrorTest, GetErrorMessageCutsToTheBuffer)
{
    CZipException error(101);
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_TRUE(error.GetErrorMessage(buffer, 5));
    EXPECT_STREQ(buffer, "Dama");
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_TRUE(error.GetErrorMessage(buffer, 1));
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'x');
    EXPECT_TRUE(error.GetErrorMessage(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "Damaged or not a zip file");

    EXPECT_FALSE(error.GetErrorMessage(nullptr, 10));
    EXPECT_FALSE(error.GetErrorMessage(buffer, 0));
}

TEST_F(ZipErrorTest, GetErrorMessageFailsWhenTheDescriptionIsEmpty)
{
    SetLastError(9999); // the system has no text for it
    char buffer[16] = "unchanged";
    EXPECT_FALSE(CZipException(100).GetErrorMessage(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "unchanged");
}

TEST_F(ZipErrorTest, ThrowZipErrorCarriesCauseAndPath)
{
    try {
        ThrowZipError(102, "pkg.zip");
        FAIL() << "did not throw";
    } catch (const CException& e) {
        auto* zip = dynamic_cast<const CZipException*>(&e);
        ASSERT_NE(zip, nullptr);
        EXPECT_EQ(zip->cause, 102);
        EXPECT_EQ(zip->archivePath, "pkg.zip");
        EXPECT_STREQ(e.what(), "Crc mismatched");
    }
    try {
        ThrowZipError(101);
    } catch (const CZipException& e) {
        EXPECT_EQ(e.archivePath, "");
    }
}

} // namespace
