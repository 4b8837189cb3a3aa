#include "zip/ZipTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(EntryReading, EmptyEntriesCloseCleanly)
{
    TestArchive archive;
    archive.Add("stored", {});
    archive.Add("deflated", {}, 8).payload = Bytes { 0x03, 0x00 };
    MemoryArchive zip(archive);
    zip.Open();
    BYTE buffer[16];
    for (WORD i = 0; i < 2; ++i) {
        ASSERT_TRUE(zip.reader.OpenEntry(i));
        EXPECT_EQ(zip.reader.ReadEntry(buffer, sizeof buffer), 0u);
        EXPECT_EQ(zip.reader.CloseEntry(), CZipReader::EntryClose::closed) << i;
    }
}

TEST(EntryReading, MisuseReadsAndClosesNothing)
{
    MemoryArchive zip(SingleEntryArchive("a", ToBytes("abc")));
    zip.Open();
    BYTE buffer[4];
    EXPECT_EQ(zip.reader.ReadEntry(buffer, 4), 0u);
    EXPECT_EQ(zip.reader.CloseEntry(), CZipReader::EntryClose::notOpen);
    EXPECT_FALSE(zip.reader.OpenEntry(1));
    ASSERT_TRUE(zip.reader.OpenEntry(0));
    EXPECT_EQ(zip.reader.ReadEntry(nullptr, 4), 0u);
    EXPECT_EQ(zip.reader.ReadEntry(buffer, 0), 0u);
    EXPECT_EQ(zip.reader.ReadEntry(buffer, 4), 3u);
}

TEST(EntryReading, ASecondOpenEntryIsRefusedAndTheFirstStaysOpen)
{
    TestArchive archive;
    archive.Add("a", ToBytes("first"));
    archive.Add("b", ToBytes("second"));
    MemoryArchive zip(archive);
    zip.Open();
    ASSERT_TRUE(zip.reader.OpenEntry(0));
    EXPECT_FALSE(zip.reader.OpenEntry(1));
    EXPECT_FALSE(zip.reader.OpenEntry(0));
    EXPECT_EQ(ReadToEnd(zip.reader), ToBytes("first"));
    EXPECT_EQ(zip.reader.CloseEntry(), CZipReader::EntryClose::closed);
}

TEST(EntryReading, ReadsNeverGoPastTheEntry)
{
    TestArchive archive;
    archive.Add("a", ToBytes("0123456789"));
    archive.Add("b", ToBytes("tail"));
    MemoryArchive zip(archive);
    zip.Open();
    ASSERT_TRUE(zip.reader.OpenEntry(0));
    BYTE buffer[64];
    EXPECT_EQ(zip.reader.ReadEntry(buffer, 4), 4u);
    EXPECT_EQ(zip.reader.ReadEntry(buffer, 64), 6u);
    EXPECT_EQ(Bytes(buffer, buffer + 6), ToBytes("456789"));
    EXPECT_EQ(zip.reader.ReadEntry(buffer, 64), 0u);
    EXPECT_EQ(zip.reader.CloseEntry(), CZipReader::EntryClose::closed);
}

TEST(EntryReading, ClosingEarlyReportsItWithoutCheckingTheCrc)
{
    TestArchive archive;
    archive.Add("stored", NoiseBytes(100)).crc = 0; // wrong
    archive.Add("deflated", NoiseBytes(100000), 8);
    MemoryArchive zip(archive);
    zip.Open();
    BYTE buffer[10];
    for (WORD i = 0; i < 2; ++i) {
        ASSERT_TRUE(zip.reader.OpenEntry(i));
        EXPECT_EQ(zip.reader.ReadEntry(buffer, 10), 10u);
        EXPECT_EQ(zip.reader.CloseEntry(), CZipReader::EntryClose::endedEarly) << i;
        EXPECT_FALSE(zip.reader.IsEntryOpen());
    }
}

TEST(EntryReading, AWrongCrcIsReportedAfterEveryByteWasDelivered)
{
    TestArchive archive;
    archive.Add("a", ToBytes("payload"), 8).crc = 0xCAFEF00D;
    archive.Add("b", ToBytes("next"));
    MemoryArchive zip(archive);
    zip.Open();
    ASSERT_TRUE(zip.reader.OpenEntry(0));
    EXPECT_EQ(ReadToEnd(zip.reader), ToBytes("payload"));
    EXPECT_EQ(CauseOf([&] { zip.reader.CloseEntry(); }), 102);
    EXPECT_TRUE(zip.reader.IsEntryOpen());
    EXPECT_FALSE(zip.reader.OpenEntry(1));
    EXPECT_EQ(zip.reader.CloseEntry(CZipReader::closeAfterException), CZipReader::EntryClose::closed);
    EXPECT_EQ(ReadEntryBytes(zip.reader, 1), ToBytes("next"));
}

// Odd chunk sizes make the inflater stop in the middle of matches and of
// input blocks; what it left behind must be picked up by the next read.
class ChunkedReading : public ::testing::TestWithParam<DWORD> { };

TEST_P(ChunkedReading, DeliversEveryByteInOrder)
{
    Bytes repetitive(100000, 'a');
    Bytes mixed = NoiseBytes(150000, 7);
    mixed.insert(mixed.end(), repetitive.begin(), repetitive.end());
    TestArchive archive;
    archive.Add("repetitive", repetitive, 8);
    archive.Add("mixed", mixed, 8).password = "Pvx#d&JRTe";
    archive.Add("stored", mixed).password = "Pvx#d&JRTe";
    MemoryArchive zip(archive);
    zip.Open("Pvx#d&JRTe");
    for (WORD i = 0; i < 3; ++i) {
        ASSERT_TRUE(zip.reader.OpenEntry(i));
        EXPECT_EQ(ReadToEnd(zip.reader, GetParam()), i == 0 ? repetitive : mixed) << i;
        EXPECT_EQ(zip.reader.CloseEntry(), CZipReader::EntryClose::closed) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChunkedReading, ::testing::Values(1, 7, 258, 4097, 65536, 300000));

TEST(Encryption, TheHeaderCountsInTheCompressedSize)
{
    TestArchive archive;
    archive.Add("five", ToBytes("12345")).password = "Pvx#d&JRTe";
    MemoryArchive zip(archive);
    zip.Open("Pvx#d&JRTe");
    EXPECT_EQ(zip.reader.GetEntryHeader(0)->compressedSize, 17u);
    EXPECT_EQ(ReadEntryBytes(zip.reader, 0), ToBytes("12345"));
}

TEST(Encryption, AWrongPasswordFailsTheCheckByte)
{
    TestArchive archive;
    archive.Add("five", ToBytes("12345")).password = "right";
    MemoryArchive encrypted(archive);
    encrypted.Open("wrong");
    EXPECT_EQ(CauseOf([&] { encrypted.reader.OpenEntry(0); }), 110);
    EXPECT_FALSE(encrypted.reader.IsEntryOpen());
}

TEST(Encryption, WithADescriptorTheCheckByteComesFromTheTime)
{
    TestArchive archive;
    TestEntry& timed = archive.Add("timed", ToBytes("streamed"), 8);
    timed.password = "pw";
    timed.descriptor = true;
    timed.modTime = 0x5A00; // check byte 0x5A, unlike the CRC's high byte
    ASSERT_NE(Crc32(ToBytes("streamed")) >> 24, 0x5Au);
    TestEntry& byCrc = archive.Add("by-crc", ToBytes("streamed"), 8);
    byCrc.password = "pw";
    byCrc.descriptor = true;
    byCrc.modTime = 0x5A00;
    byCrc.checkByte = BYTE(Crc32(ToBytes("streamed")) >> 24);
    TestEntry& badCrc = archive.Add("bad-crc", ToBytes("streamed"), 8);
    badCrc.password = "pw";
    badCrc.descriptor = true;
    badCrc.crc = 0x00112233;
    MemoryArchive zip(archive);
    zip.Open("pw");
    EXPECT_EQ(ReadEntryBytes(zip.reader, 0), ToBytes("streamed"));
    EXPECT_EQ(CauseOf([&] { zip.reader.OpenEntry(1); }), 110);
    // The time passes the header check; the CRC-32 is still checked at the end.
    ASSERT_TRUE(zip.reader.OpenEntry(2));
    EXPECT_EQ(ReadToEnd(zip.reader), ToBytes("streamed"));
    EXPECT_EQ(CauseOf([&] { zip.reader.CloseEntry(); }), 102);
}

TEST(Encryption, AnEntryTooShortForItsHeaderIsDamaged)
{
    TestArchive archive;
    TestEntry& entry = archive.Add("short", ToBytes("abc"));
    entry.password = "pw";
    entry.compressedSize = 5; // the 12 header bytes are there, the size says otherwise
    entry.uncompressedSize = 0;
    MemoryArchive zip(archive);
    zip.Open("pw");
    int cause = CauseOf([&] { zip.reader.OpenEntry(0); });
    EXPECT_EQ(cause, 101);
    EXPECT_FALSE(zip.reader.IsEntryOpen());
}

// Damaged data. Each entry is followed by another, so reading on past the
// entry's own bytes would find plausible input instead of failing.
TEST(DamagedData, DeflatedDataThatEndsTooEarlyIsDamaged)
{
    Bytes plain = NoiseBytes(5000);
    Bytes packed = Deflate(plain);
    TestArchive archive;
    archive.Add("cut", plain, 8).payload = Bytes(packed.begin(), packed.begin() + 4000);
    archive.Add("next", NoiseBytes(5000, 2));
    MemoryArchive zip(archive);
    zip.Open();
    ASSERT_TRUE(zip.reader.OpenEntry(0));
    EXPECT_EQ(CauseOf([&] { ReadToEnd(zip.reader); }), 101);
    EXPECT_EQ(zip.reader.CloseEntry(CZipReader::closeAfterException), CZipReader::EntryClose::closed);
    EXPECT_EQ(ReadEntryBytes(zip.reader, 1), NoiseBytes(5000, 2));
}

TEST(DamagedData, StoredDataShorterThanItsSizeIsDamaged)
{
    Bytes plain = NoiseBytes(100);
    TestArchive archive;
    archive.Add("cut", plain).payload = Bytes(plain.begin(), plain.begin() + 50);
    archive.Add("next", NoiseBytes(100, 2));
    MemoryArchive zip(archive);
    zip.Open();
    ASSERT_TRUE(zip.reader.OpenEntry(0));
    EXPECT_EQ(CauseOf([&] { ReadToEnd(zip.reader); }), 101);
}

TEST(DamagedData, StoredDataLongerThanItsSizeStopsAtTheSize)
{
    Bytes plain = ToBytes("exactly this");
    Bytes padded = plain;
    padded.resize(plain.size() + 40, 'z');
    TestArchive archive;
    archive.Add("long", plain).payload = padded;
    MemoryArchive zip(archive);
    zip.Open();
    ASSERT_TRUE(zip.reader.OpenEntry(0));
    EXPECT_EQ(ReadToEnd(zip.reader), plain);
    EXPECT_EQ(zip.reader.CloseEntry(), CZipReader::EntryClose::closed);
}

TEST(DamagedData, CorruptDeflateDataIsAZlibDataError)
{
    TestArchive archive;
    archive.Add("bad", ToBytes("anything"), 8).payload = Bytes(20, 0xFF); // block type 3
    MemoryArchive zip(archive);
    zip.Open();
    ASSERT_TRUE(zip.reader.OpenEntry(0));
    EXPECT_EQ(CauseOf([&] { ReadToEnd(zip.reader); }), 504);
    // Leaving the entry to Close: the inflater's memory goes with it.
    zip.reader.Close(CZipReader::closeAfterException);
}

TEST(DamagedData, AStreamEndingBeforeTheSizeClosesEarly)
{
    Bytes plain = ToBytes("shorter than announced");
    TestArchive archive;
    archive.Add("a", plain, 8).uncompressedSize = DWORD(plain.size() + 10);
    MemoryArchive zip(archive);
    zip.Open();
    ASSERT_TRUE(zip.reader.OpenEntry(0));
    EXPECT_EQ(ReadToEnd(zip.reader), plain);
    EXPECT_EQ(zip.reader.CloseEntry(), CZipReader::EntryClose::endedEarly);
}

} // namespace
