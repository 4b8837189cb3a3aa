// The archive writer, checked by reading what it writes with our reader.

#include "zip/ZipException.h"
#include "zip/ZipFileSystem.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"
#include "zip/ZipRecords.h"
#include "zip/ZipWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <zlib.h>

namespace {

using Bytes = std::vector<BYTE>;

// A growing file in memory that, unlike an attached memory block, can be
// written from any position.
class CVectorFile : public CZipFileInterface {
public:
    void Close() override { }
    DWORD GetPosition() const override { return DWORD(position); }
    DWORD Seek(LONG offset, int origin) override
    {
        size_t base = origin == current ? position : (origin == end ? bytes.size() : 0);
        position = size_t(std::int64_t(base) + offset);
        return DWORD(position);
    }
    DWORD GetLength() const override { return DWORD(bytes.size()); }
    CString GetFilePath() const override { return {}; }
    UINT Read(void* buffer, UINT count) override
    {
        UINT n = UINT(std::min<size_t>(count, position < bytes.size() ? bytes.size() - position : 0));
        if (n > 0)
            std::memcpy(buffer, bytes.data() + position, n);
        position += n;
        ++reads;
        return n;
    }
    void Write(const void* buffer, UINT count) override
    {
        if (count == 0)
            return;
        if (position + count > bytes.size())
            bytes.resize(position + count);
        std::memcpy(bytes.data() + position, buffer, count);
        position += count;
    }
    bool IsClosed() const override { return false; }

    Bytes bytes {};
    size_t position { 0 };
    int reads { 0 };
};

// A data source whose bytes change once it has been read to the end, as a
// file does that someone rewrites while it is being packed.
class CChangingFile : public CVectorFile {
public:
    UINT Read(void* buffer, UINT count) override
    {
        UINT n = CVectorFile::Read(buffer, count);
        if (n == 0 && !bytes.empty())
            bytes[0] ^= 0xFF;
        return n;
    }
};

Bytes Noise(size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes bytes(count);
    for (BYTE& b : bytes)
        b = BYTE(random());
    return bytes;
}

// Text-like bytes that deflate well.
Bytes Compressible(size_t count)
{
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = BYTE("frame tag shape "[i % 16] + (i / 4096) % 3);
    return bytes;
}

CZipNewEntry Entry(const CString& name, WORD method = ZipRecords::MethodDeflated, bool encrypt = false)
{
    CZipNewEntry entry;
    entry.name = name;
    entry.method = method;
    entry.encrypt = encrypt;
    entry.externalAttributes = 0x81800020;
    entry.modTime = 0xB1B2;
    entry.modDate = 0x3378;
    return entry;
}

void AddBytes(CZipWriter& writer, const CZipNewEntry& entry, const Bytes& data)
{
    CVectorFile source;
    source.bytes = data;
    writer.AddFile(entry, source);
}

// An archive read back from bytes that outlive the reader.
struct ReadBack {
    explicit ReadBack(const Bytes& archive, const char* password = "secret")
        : bytes(archive)
    {
        block.Attach(bytes.data(), DWORD(bytes.size()));
        reader.Open(block);
        reader.SetPassword(password);
    }
    ~ReadBack() { reader.Close(); }

    Bytes Read(int index)
    {
        EXPECT_TRUE(reader.OpenEntry(WORD(index)));
        Bytes all;
        Bytes buffer(4096);
        while (DWORD n = reader.ReadEntry(buffer.data(), DWORD(buffer.size())))
            all.insert(all.end(), buffer.begin(), buffer.begin() + n);
        EXPECT_EQ(reader.CloseEntry(), CZipReader::EntryClose::closed);
        return all;
    }

    Bytes bytes;
    CZipMemoryBlock block {};
    CZipReader reader {};
};

int CauseOf(auto&& call)
{
    try {
        call();
    } catch (const CZipException& e) {
        return e.cause;
    }
    return 0;
}

} // namespace

// Every method and encryption over sizes around the 64 KB chunk the writer
// reads and deflates in: what goes in comes out, with the CRC-32 and sizes
// in both headers agreeing (the reader checks the local against the central).
TEST(ZipWriter, RoundTripsStoredAndDeflatedPlainAndEncrypted)
{
    const std::vector<Bytes> contents = {
        {},
        { 'x' },
        Noise(65535, 1),
        Noise(65536, 2),
        Noise(65537, 3),
        Compressible(3 * 65536),
        Noise(2 * 65536 + 100, 4),
    };
    for (WORD method : { ZipRecords::MethodStored, ZipRecords::MethodDeflated }) {
        for (bool encrypt : { false, true }) {
            SCOPED_TRACE(testing::Message() << "method " << method << (encrypt ? " encrypted" : " plain"));
            CVectorFile archive;
            CZipWriter writer(archive);
            writer.SetPassword("secret");
            for (size_t i = 0; i < contents.size(); ++i)
                AddBytes(writer, Entry("file" + std::to_string(i) + ".bin", method, encrypt), contents[i]);
            writer.Finish();
            EXPECT_EQ(writer.GetArchiveSize(), archive.bytes.size());

            ReadBack back(archive.bytes);
            ASSERT_EQ(back.reader.GetEntryCount(), int(contents.size()));
            for (size_t i = 0; i < contents.size(); ++i) {
                SCOPED_TRACE(testing::Message() << "size " << contents[i].size());
                const CZipEntryHeader& header = *back.reader.GetEntryHeader(int(i));
                EXPECT_EQ(header.method, method);
                EXPECT_EQ(header.IsEncrypted(), encrypt);
                EXPECT_EQ(header.uncompressedSize, contents[i].size());
                EXPECT_EQ(header.crc32, DWORD(crc32(0, contents[i].data(), uInt(contents[i].size()))));
                if (method == ZipRecords::MethodStored) {
                    EXPECT_EQ(header.compressedSize, contents[i].size() + (encrypt ? 12 : 0));
                }
                EXPECT_EQ(back.Read(int(i)), contents[i]);
            }
        }
    }
}

TEST(ZipWriter, EncryptedDataNeedsThePassword)
{
    CVectorFile archive;
    CZipWriter writer(archive);
    writer.SetPassword("secret");
    Bytes plain = Compressible(5000);
    AddBytes(writer, Entry("a.swf", ZipRecords::MethodStored, true), plain);
    writer.Finish();

    // The plain bytes do not show in the archive.
    EXPECT_EQ(std::search(archive.bytes.begin(), archive.bytes.end(), plain.begin(), plain.begin() + 64),
        archive.bytes.end());
    ReadBack wrong(archive.bytes, "Secret");
    EXPECT_EQ(CauseOf([&] { wrong.reader.OpenEntry(0); }), ZipErrorCause::BadPassword);
}

// Attributes, system, time and names come back as given; folders are
// stored, empty and directories to the reader.
TEST(ZipWriter, KeepsAttributesTimesAndFolders)
{
    CVectorFile archive;
    CZipWriter writer(archive);
    CZipNewEntry folder = Entry("movies/");
    folder.externalAttributes = 0x41C00010;
    folder.modTime = 0x6000;
    folder.modDate = 0x5A21;
    writer.AddFolder(folder);
    CZipNewEntry unix = Entry("movies/intro.swf");
    unix.madeBySystem = ZipFileSystem::SystemUnix;
    unix.externalAttributes = 0x81A40000;
    AddBytes(writer, unix, { 1, 2, 3 });
    writer.Finish();

    ReadBack back(archive.bytes);
    ASSERT_EQ(back.reader.GetEntryCount(), 2);
    const CZipEntryHeader& dir = *back.reader.GetEntryHeader(0);
    EXPECT_EQ(dir.GetFileName(), "movies\\");
    EXPECT_TRUE(dir.IsDirectory());
    EXPECT_EQ(dir.method, ZipRecords::MethodStored);
    EXPECT_EQ(dir.compressedSize, 0u);
    EXPECT_EQ(dir.externalAttributes, 0x41C00010u);
    EXPECT_EQ(dir.MadeBySystem(), 0);
    EXPECT_EQ(dir.modTime, 0x6000);
    EXPECT_EQ(dir.modDate, 0x5A21);
    const CZipEntryHeader& file = *back.reader.GetEntryHeader(1);
    EXPECT_EQ(file.GetFileName(), "movies\\intro.swf");
    EXPECT_EQ(file.MadeBySystem(), ZipFileSystem::SystemUnix);
    EXPECT_EQ(file.externalAttributes, 0x81A40000u);
    EXPECT_EQ(file.modTime, 0xB1B2);
    EXPECT_EQ(file.modDate, 0x3378);
    EXPECT_EQ(back.Read(1), (Bytes { 1, 2, 3 }));
}

// Offsets count from where the archive starts, not from the start of the
// target: the archive reads both on its own and behind what precedes it.
TEST(ZipWriter, ArchiveBehindOtherDataKeepsItsOwnOffsets)
{
    CVectorFile target;
    Bytes prefix = Noise(1000, 5);
    target.Write(prefix.data(), UINT(prefix.size()));
    CZipWriter writer(target);
    writer.SetPassword("secret");
    Bytes data = Noise(70000, 6);
    AddBytes(writer, Entry("one.swf", ZipRecords::MethodDeflated, true), data);
    AddBytes(writer, Entry("two.swf", ZipRecords::MethodStored), data);
    writer.Finish();

    EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), target.bytes.begin()));
    ReadBack whole(target.bytes);
    EXPECT_EQ(whole.reader.GetBytesBeforeArchive(), 1000u);
    EXPECT_EQ(whole.Read(0), data);
    EXPECT_EQ(whole.Read(1), data);
    ReadBack alone(Bytes(target.bytes.begin() + 1000, target.bytes.end()));
    EXPECT_EQ(alone.reader.GetBytesBeforeArchive(), 0u);
    EXPECT_EQ(alone.Read(1), data);
}

TEST(ZipWriter, RefusesNamesThatCannotBeStored)
{
    CVectorFile archive;
    CZipWriter writer(archive);
    AddBytes(writer, Entry("taken.swf"), { 1 });
    for (const char* name : { "", "/abs.swf", "a\\b.swf", "../up.swf", "a/../b.swf", "a//b.swf", "./a.swf",
             "dir/", "taken.swf" }) {
        SCOPED_TRACE(name);
        EXPECT_THROW(AddBytes(writer, Entry(name), { 1 }), CZipException);
    }
    EXPECT_THROW(writer.AddFolder(Entry("folder")), CZipException);
    EXPECT_THROW(AddBytes(writer, Entry("x.swf", 12), { 1 }), CZipException);
    // No password for an encrypted entry.
    EXPECT_THROW(AddBytes(writer, Entry("y.swf", 8, true), { 1 }), CZipException);

    // Refusals write nothing: the archive goes on and holds the one entry.
    AddBytes(writer, Entry("after.swf"), { 2 });
    writer.Finish();
    ReadBack back(archive.bytes);
    EXPECT_EQ(back.reader.GetEntryCount(), 2);
    EXPECT_THROW(AddBytes(writer, Entry("late.swf"), { 1 }), CZipException);
}

// The end record counts entries in 16 bits; without Zip64 the 65536th entry
// is refused and the first 65535 still make an archive.
TEST(ZipWriter, HoldsAtMost65535Entries)
{
    CVectorFile archive;
    CZipWriter writer(archive);
    for (int i = 0; i < 0xFFFF; ++i)
        writer.AddFolder(Entry(std::to_string(i) + "/"));
    try {
        writer.AddFolder(Entry("one-too-many/"));
        FAIL() << "the 65536th entry was taken";
    } catch (const CZipException& e) {
        EXPECT_EQ(e.cause, ZipErrorCause::BeyondZip32);
        EXPECT_NE(e.message.find("65535"), CString::npos) << e.message;
    }
    writer.Finish();
    ReadBack back(archive.bytes);
    EXPECT_EQ(back.reader.GetEntryCount(), 0xFFFF);
}

// An encrypted entry's data is read twice (the encryption header needs the
// CRC first). Data that differs between the reads is not written as if it
// were good.
TEST(ZipWriter, RefusesDataThatChangesBetweenReads)
{
    CVectorFile archive;
    CZipWriter writer(archive);
    writer.SetPassword("secret");
    CChangingFile changing;
    changing.bytes = Noise(1000, 7);
    EXPECT_THROW(
        writer.AddFile(Entry("moving.swf", ZipRecords::MethodDeflated, true), changing), CZipException);
    EXPECT_THROW(writer.Finish(), CZipException);
}

TEST(ZipWriter, DosTimesOfCalendarTimes)
{
    std::tm fields {};
    fields.tm_year = 105;
    fields.tm_mon = 10;
    fields.tm_mday = 24;
    fields.tm_hour = 22;
    fields.tm_min = 13;
    fields.tm_sec = 37; // odd: rounded down
    fields.tm_isdst = -1;
    WORD time = 0;
    WORD date = 0;
    CZipWriter::DosTimeFromCalendar(std::mktime(&fields), time, date);
    EXPECT_EQ(time, 0xB1B2);
    EXPECT_EQ(date, 0x3378);

    CZipWriter::DosTimeFromCalendar(0, time, date); // 1970: before DOS times begin
    EXPECT_EQ(time, 0);
    EXPECT_EQ(date, (1 << 5) | 1);
    fields.tm_year = 208; // 2108: after they end
    CZipWriter::DosTimeFromCalendar(std::mktime(&fields), time, date);
    EXPECT_EQ(date, (127 << 9) | (12 << 5) | 31);
    EXPECT_EQ(time, (23 << 11) | (59 << 5) | 29);
}
