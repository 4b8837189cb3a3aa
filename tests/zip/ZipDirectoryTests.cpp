#include "zip/ZipTestSupport.h"

#include <gtest/gtest.h>

namespace {

int OpenCause(const Bytes& bytes)
{
    MemoryArchive archive(bytes);
    return CauseOf([&] { archive.Open(); });
}

TEST(EndRecordSearch, TooShortSourcesHaveNoCentralDirectory)
{
    EXPECT_EQ(OpenCause({}), 116);
    EXPECT_EQ(OpenCause({ 0x50, 0x4B, 0x05 }), 116);
    EXPECT_EQ(OpenCause(Bytes(100, 0)), 116);
}

TEST(EndRecordSearch, FindsTheRecordBehindTheLongestComment)
{
    TestArchive archive;
    archive.Add("a.txt", ToBytes("hello"));
    archive.comment = std::string(65535, 'c');
    MemoryArchive zip(archive);
    ASSERT_EQ(CauseOf([&] { zip.Open(); }), 0);
    EXPECT_EQ(zip.reader.GetEntryCount(), 1);
    EXPECT_EQ(ReadEntryBytes(zip.reader, 0), ToBytes("hello"));
}

TEST(EndRecordSearch, DoesNotLookFurtherBackThanTheLongestComment)
{
    Bytes bytes = SingleEntryArchive("a.txt", ToBytes("hello"));
    // The record now starts 65,558 bytes before the end: one too many.
    bytes.insert(bytes.end(), 65536, 0);
    EXPECT_EQ(OpenCause(bytes), 116);
}

// The first read covers the last 32,768 bytes; a comment of these lengths puts
// the signature's four bytes on either side of that boundary.
class EndRecordAcrossChunks : public ::testing::TestWithParam<size_t> { };

TEST_P(EndRecordAcrossChunks, IsFound)
{
    TestArchive archive;
    archive.Add("a.txt", ToBytes("hello"));
    archive.comment = std::string(GetParam(), 'c');
    MemoryArchive zip(archive);
    ASSERT_EQ(CauseOf([&] { zip.Open(); }), 0);
    EXPECT_EQ(zip.reader.GetEntryCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(AroundTheBoundary, EndRecordAcrossChunks,
    ::testing::Values(32745, 32746, 32747, 32748, 32749, 32750, 65535 - 32768));

TEST(EndRecordSearch, TheRecordNearestTheEndWins)
{
    Bytes first = SingleEntryArchive("first.txt", ToBytes("one"));
    Bytes second = SingleEntryArchive("second.txt", ToBytes("two"));
    Bytes both = first;
    both.insert(both.end(), second.begin(), second.end());
    MemoryArchive zip(both);
    zip.Open();
    ASSERT_EQ(zip.reader.GetEntryCount(), 1);
    EXPECT_EQ(zip.reader.GetEntryHeader(0)->GetFileName(), "second.txt");
    EXPECT_EQ(zip.reader.GetBytesBeforeArchive(), first.size());
    EXPECT_EQ(ReadEntryBytes(zip.reader, 0), ToBytes("two"));
}

TEST(Directory, AnArchiveBehindOtherDataIsReadFromItsOwnStart)
{
    TestArchive archive;
    archive.before = NoiseBytes(1000);
    archive.Add("a.txt", ToBytes("first entry"));
    archive.Add("b.bin", NoiseBytes(3000), 8);
    MemoryArchive zip(archive);
    zip.Open();
    EXPECT_EQ(zip.reader.GetBytesBeforeArchive(), 1000u);
    ASSERT_EQ(zip.reader.GetEntryCount(), 2);
    EXPECT_EQ(ReadEntryBytes(zip.reader, 0), ToBytes("first entry"));
    EXPECT_EQ(ReadEntryBytes(zip.reader, 1), NoiseBytes(3000));
}

TEST(Directory, AnEmptyArchiveOpensWithNoEntries)
{
    MemoryArchive zip(TestArchive {});
    EXPECT_FALSE(zip.reader.Open(zip.block)); // no first entry to take a system from
    EXPECT_FALSE(zip.reader.IsClosed());
    EXPECT_EQ(zip.reader.GetEntryCount(), 0);
    EXPECT_FALSE(zip.reader.OpenEntry(0));
}

TEST(Directory, InconsistentEndRecordsAreDamaged)
{
    TestArchive empty;
    empty.faults.size = 10; // with a count of 0
    EXPECT_EQ(OpenCause(empty.Build()), 101);

    TestArchive noSize;
    noSize.Add("a", ToBytes("x"));
    noSize.faults.size = 0; // with a count of 1
    EXPECT_EQ(OpenCause(noSize.Build()), 101);

    TestArchive overlapping; // directory would reach past the end record
    overlapping.Add("a", ToBytes("x"));
    overlapping.faults.offset = 100;
    EXPECT_EQ(OpenCause(overlapping.Build()), 101);

    TestArchive wrapping; // offset + size only fits when it wraps past 32 bits
    wrapping.Add("a", ToBytes("x"));
    wrapping.faults.offset = 0xFFFFFFF0u;
    EXPECT_EQ(OpenCause(wrapping.Build()), 101);

    TestArchive tooMany;
    tooMany.Add("a", ToBytes("x"));
    tooMany.faults.totalEntries = 2;
    EXPECT_EQ(OpenCause(tooMany.Build()), 101);

    TestArchive volume; // one volume of a set
    volume.Add("a", ToBytes("x"));
    volume.faults.thisDisk = 1;
    EXPECT_EQ(OpenCause(volume.Build()), 101);
}

TEST(Directory, ACentralHeaderWithABadSignatureIsDamaged)
{
    Bytes bytes = SingleEntryArchive("a.txt", ToBytes("hello"));
    size_t central = 30 + 5 + 5; // local header, name, data
    ASSERT_EQ(bytes[central + 2], 0x01);
    bytes[central + 2] = 0x03;
    EXPECT_EQ(OpenCause(bytes), 101);
}

TEST(Directory, IndexesFollowTheOrderOfTheData)
{
    TestArchive archive;
    archive.Add("a", ToBytes("1"));
    archive.Add("b", ToBytes("22"));
    archive.Add("c", ToBytes("333"));
    archive.centralOrder = { 2, 0, 1 };
    MemoryArchive zip(archive);
    zip.Open();
    ASSERT_EQ(zip.reader.GetEntryCount(), 3);
    EXPECT_EQ(zip.reader.GetEntryHeader(0)->GetFileName(), "a");
    EXPECT_EQ(zip.reader.GetEntryHeader(1)->GetFileName(), "b");
    EXPECT_EQ(zip.reader.GetEntryHeader(2)->GetFileName(), "c");
    EXPECT_EQ(ReadEntryBytes(zip.reader, 2), ToBytes("333"));
}

TEST(Directory, TwoEntriesAtOneLocalHeaderAreDamaged)
{
    TestArchive archive;
    archive.Add("a", ToBytes("1"));
    archive.Add("b", ToBytes("2")).centralOffset = 0;
    MemoryArchive zip(archive);
    try {
        zip.Open();
        FAIL() << "opened";
    } catch (const CZipException& e) {
        EXPECT_EQ(e.cause, 101);
        EXPECT_EQ(e.archivePath, "");
    }
    zip.reader.Close(); // clears what was read
    EXPECT_TRUE(zip.reader.IsClosed());
}

TEST(Directory, NamesTakeBackslashesAndFoldersAreRecognised)
{
    TestArchive archive;
    archive.Add("docs/", {}).externalAttributes = 0;
    archive.Add("a/b.swf", ToBytes("x"));
    TestEntry& unixFolder = archive.Add("u", {});
    unixFolder.versionMadeBy = 0x0314;
    unixFolder.externalAttributes = 0x41ED0000; // drwxr-xr-x
    TestEntry& unixFile = archive.Add("f", ToBytes("y"));
    unixFile.versionMadeBy = 0x0314;
    unixFile.externalAttributes = 0x81240000; // r--r--r--
    archive.Add("odd/", {}).versionMadeBy = 0x0B14; // a system we do not know
    archive.Add("odd.txt", {}).versionMadeBy = 0x0B14;

    MemoryArchive zip(archive);
    EXPECT_TRUE(zip.reader.Open(zip.block));
    EXPECT_EQ(zip.reader.GetSystemId(), 0);
    ASSERT_EQ(zip.reader.GetEntryCount(), 6);
    const CZipEntryHeader& docs = *zip.reader.GetEntryHeader(0);
    EXPECT_EQ(docs.GetFileName(), "docs\\");
    EXPECT_TRUE(docs.IsDirectory());
    EXPECT_EQ(docs.GetSystemAttributes(), 0x41FF0010u);
    EXPECT_EQ(zip.reader.GetEntryHeader(1)->GetFileName(), "a\\b.swf");
    EXPECT_FALSE(zip.reader.GetEntryHeader(1)->IsDirectory());
    EXPECT_TRUE(zip.reader.GetEntryHeader(2)->IsDirectory());
    EXPECT_EQ(zip.reader.GetEntryHeader(2)->GetSystemAttributes(), 0x10u);
    EXPECT_EQ(zip.reader.GetEntryHeader(3)->GetSystemAttributes(), 0x21u);
    EXPECT_EQ(zip.reader.GetEntryHeader(4)->GetSystemAttributes(), 0x41FF0010u);
    EXPECT_EQ(zip.reader.GetEntryHeader(5)->GetSystemAttributes(), 0x81A40020u);
}

TEST(Directory, TheSystemOfTheFirstEntryInDataOrderBecomesTheArchives)
{
    TestArchive archive;
    archive.Add("a", ToBytes("1")).versionMadeBy = 0x0314;
    archive.Add("b", ToBytes("2"));
    archive.centralOrder = { 1, 0 };
    MemoryArchive zip(archive);
    EXPECT_TRUE(zip.reader.Open(zip.block));
    EXPECT_EQ(zip.reader.GetSystemId(), 3);
}

TEST(LocalHeader, MustAgreeWithTheCentralHeader)
{
    TestArchive archive;
    archive.Add("method", ToBytes("abc"), 8).localMethod = 0;
    archive.Add("crc", ToBytes("abc")).localCrc = 0x12345678;
    archive.Add("fine", ToBytes("abc"));
    MemoryArchive zip(archive);
    zip.Open(); // the local headers are only read when an entry is opened
    EXPECT_EQ(CauseOf([&] { zip.reader.OpenEntry(0); }), 101);
    EXPECT_EQ(CauseOf([&] { zip.reader.OpenEntry(1); }), 101);
    EXPECT_FALSE(zip.reader.IsEntryOpen());
    EXPECT_EQ(ReadEntryBytes(zip.reader, 2), ToBytes("abc"));
}

TEST(LocalHeader, AnUnknownMethodIsDamaged)
{
    TestArchive archive;
    TestEntry& entry = archive.Add("m", ToBytes("abc"), 12);
    entry.payload = ToBytes("abc");
    MemoryArchive zip(archive);
    zip.Open();
    EXPECT_EQ(CauseOf([&] { zip.reader.OpenEntry(0); }), 101);
}

class DataDescriptor : public ::testing::TestWithParam<bool> { };

TEST_P(DataDescriptor, IsComparedWithTheCentralHeader)
{
    TestArchive archive;
    TestEntry& good = archive.Add("good", NoiseBytes(500), 8);
    good.descriptor = true;
    good.descriptorSignature = GetParam();
    TestEntry& bad = archive.Add("bad", ToBytes("abc"));
    bad.descriptor = true;
    bad.descriptorSignature = GetParam();
    bad.descriptorCrc = 0xDEADBEEF;
    MemoryArchive zip(archive);
    zip.Open();
    ASSERT_TRUE(zip.reader.OpenEntry(0));
    EXPECT_EQ(ReadToEnd(zip.reader), NoiseBytes(500));
    EXPECT_EQ(zip.reader.CloseEntry(), CZipReader::EntryClose::closed);

    ASSERT_TRUE(zip.reader.OpenEntry(1));
    EXPECT_EQ(ReadToEnd(zip.reader), ToBytes("abc"));
    EXPECT_EQ(CauseOf([&] { zip.reader.CloseEntry(); }), 101);
    EXPECT_EQ(zip.reader.CloseEntry(CZipReader::closeAfterException), CZipReader::EntryClose::closed);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutSignature, DataDescriptor, ::testing::Bool());

} // namespace
