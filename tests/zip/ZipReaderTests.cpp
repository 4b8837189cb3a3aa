#include "zip/ZipTestSupport.h"

#include <gtest/gtest.h>

namespace {

TestArchive EncryptedArchive(const std::string& password)
{
    TestArchive archive;
    archive.Add("secret.txt", ToBytes("hidden words"), 8).password = password;
    return archive;
}

TEST(Reader, OpeningAnOpenReaderChangesNothing)
{
    MemoryArchive first(SingleEntryArchive("a.txt", ToBytes("A")));
    MemoryArchive second(SingleEntryArchive("b.txt", ToBytes("B")));
    EXPECT_TRUE(first.reader.Open(first.block));
    EXPECT_FALSE(first.reader.Open(second.block));
    EXPECT_EQ(first.reader.GetEntryHeader(0)->GetFileName(), "a.txt");
    EXPECT_EQ(ReadEntryBytes(first.reader, 0), ToBytes("A"));
}

TEST(Reader, CanBeOpenedAgainAfterClosingOrAFailedOpen)
{
    MemoryArchive broken(Bytes(10, 0));
    MemoryArchive good(SingleEntryArchive("a.txt", ToBytes("A")));
    CZipReader& reader = broken.reader;
    EXPECT_EQ(CauseOf([&] { reader.Open(broken.block); }), 116);
    EXPECT_TRUE(reader.IsClosed());
    reader.Close(); // nothing to do
    EXPECT_TRUE(reader.IsClosed());

    EXPECT_TRUE(reader.Open(good.block));
    EXPECT_EQ(reader.GetEntryCount(), 1);
    reader.Close();
    EXPECT_TRUE(reader.IsClosed());
    EXPECT_EQ(reader.GetEntryCount(), 0);
    EXPECT_TRUE(reader.Open(good.block));
    EXPECT_EQ(ReadEntryBytes(reader, 0), ToBytes("A"));
}

TEST(Reader, PasswordSetBeforeOpenIsForgotten)
{
    MemoryArchive zip(EncryptedArchive("pw"));
    EXPECT_TRUE(zip.reader.SetPassword("pw"));
    zip.Open();
    EXPECT_EQ(CauseOf([&] { zip.reader.OpenEntry(0); }), 110);
    EXPECT_FALSE(zip.reader.IsEntryOpen());
    EXPECT_TRUE(zip.reader.SetPassword("pw"));
    EXPECT_EQ(ReadEntryBytes(zip.reader, 0), ToBytes("hidden words"));
}

TEST(Reader, AnEmptyPasswordIsNoPassword)
{
    MemoryArchive zip(EncryptedArchive("pw"));
    zip.Open("");
    EXPECT_EQ(CauseOf([&] { zip.reader.OpenEntry(0); }), 110);
    zip.reader.SetPassword(nullptr);
    EXPECT_EQ(CauseOf([&] { zip.reader.OpenEntry(0); }), 110);
}

TEST(Reader, PasswordCannotChangeWhileAnEntryIsOpen)
{
    TestArchive archive = EncryptedArchive("pw");
    archive.Add("other.txt", ToBytes("more"), 0).password = "pw";
    MemoryArchive zip(archive);
    zip.Open("pw");
    ASSERT_TRUE(zip.reader.OpenEntry(0));
    EXPECT_FALSE(zip.reader.SetPassword("other"));
    ReadToEnd(zip.reader);
    EXPECT_EQ(zip.reader.CloseEntry(), CZipReader::EntryClose::closed);
    EXPECT_EQ(ReadEntryBytes(zip.reader, 1), ToBytes("more")); // still "pw"
}

TEST(Reader, CopyEntryInfoRefusesBadIndexesAndClosedArchives)
{
    TestArchive archive;
    TestEntry& entry = archive.Add("dir/file.txt", ToBytes("content"));
    entry.externalAttributes = 0x81800020;
    MemoryArchive zip(archive);
    zip.Open();

    CZipEntryHeader out;
    out.crc32 = 0x1234;
    EXPECT_FALSE(zip.reader.CopyEntryInfo(out, 1));
    EXPECT_EQ(out.crc32, 0x1234u);
    EXPECT_TRUE(out.name.empty());

    ASSERT_TRUE(zip.reader.CopyEntryInfo(out, 0));
    EXPECT_EQ(out.GetFileName(), "dir\\file.txt");
    EXPECT_EQ(out.crc32, Crc32(ToBytes("content")));
    EXPECT_EQ(out.uncompressedSize, 7u);
    EXPECT_EQ(out.externalAttributes, 0x81800020u);
    EXPECT_EQ(out.modTime, 0xB1B2);
    EXPECT_EQ(out.modDate, 0x3378);

    zip.reader.Close();
    CZipEntryHeader untouched;
    EXPECT_FALSE(zip.reader.CopyEntryInfo(untouched, 0));
    EXPECT_EQ(untouched.method, 8);
}

TEST(Reader, ClosingLeavesTheAttachedBytesAlone)
{
    TestArchive archive;
    archive.Add("a.bin", NoiseBytes(5000), 8).password = "pw";
    archive.Add("b.bin", NoiseBytes(100));
    Bytes original = archive.Build();
    MemoryArchive zip(original);
    const BYTE* where = zip.bytes.data();
    zip.Open("pw");
    EXPECT_EQ(ReadEntryBytes(zip.reader, 0), NoiseBytes(5000));
    ASSERT_TRUE(zip.reader.OpenEntry(1)); // left open: Close ends it
    zip.reader.Close();
    EXPECT_EQ(zip.bytes, original);
    EXPECT_EQ(zip.bytes.data(), where);
    EXPECT_FALSE(zip.block.IsClosed());
    EXPECT_EQ(zip.block.GetLength(), original.size());
}

TEST(MemoryBlock, ReadsAndSeeksWithoutClamping)
{
    Bytes ten { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 };
    CZipMemoryBlock block;
    EXPECT_TRUE(block.IsClosed());
    block.Attach(ten.data(), 10);
    EXPECT_FALSE(block.IsClosed());
    EXPECT_EQ(block.GetFilePath(), "");
    BYTE out[16] {};
    EXPECT_EQ(block.Seek(-4, CZipFileInterface::end), 6u);
    EXPECT_EQ(block.Read(out, 16), 4u);
    EXPECT_EQ(out[0], 6);
    EXPECT_EQ(block.Read(out, 16), 0u);
    EXPECT_EQ(block.Seek(20, CZipFileInterface::begin), 20u);
    EXPECT_EQ(block.Read(out, 1), 0u);
    EXPECT_EQ(block.Seek(-15, CZipFileInterface::current), 5u);
    EXPECT_EQ(block.Seek(3, 9), 5u); // unknown origin
    EXPECT_EQ(block.Read(out, 2), 2u);
    EXPECT_EQ(out[1], 6);
}

TEST(MemoryBlock, AttachedBytesCannotBeWritten)
{
    Bytes ten(10, 7);
    CZipMemoryBlock block;
    block.Attach(ten.data(), 10);
    block.Write("x", 0);
    EXPECT_EQ(block.GetLength(), 10u);
    block.Seek(8, CZipFileInterface::begin);
    EXPECT_EQ(CauseOf([&] { block.Write("abcd", 4); }), 505);
    EXPECT_EQ(ten, Bytes(10, 7));
    block.Close();
    EXPECT_TRUE(block.IsClosed());
    EXPECT_EQ(block.GetLength(), 0u);
    EXPECT_EQ(ten, Bytes(10, 7));
}

} // namespace
