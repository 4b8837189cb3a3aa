// Entries and records that lie about their sizes and places, damaged
// encryption, and files that the player reads after unpacking.

#include "HostileFixture.h"

#include "app/PackagePassword.h"
#include "app/PackageSettings.h"
#include "movie/MovieHeader.h"

#include <sys/stat.h>
#include <zlib.h>

namespace {

// Raw deflate of `count` zero bytes, made in pieces so that the zeros are
// never held whole; `crc` receives their CRC-32.
Bytes DeflateZeros(std::size_t count, DWORD& crc)
{
    z_stream stream {};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    Bytes zeros(1 << 20, 0);
    Bytes out;
    Bytes chunk(1 << 16);
    crc = crc32(0, nullptr, 0);
    for (std::size_t done = 0; done < count;) {
        std::size_t piece = std::min(zeros.size(), count - done);
        crc = crc32(crc, zeros.data(), uInt(piece));
        done += piece;
        stream.next_in = zeros.data();
        stream.avail_in = uInt(piece);
        int flush = done == count ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = chunk.data();
            stream.avail_out = uInt(chunk.size());
            deflate(&stream, flush);
            out.insert(out.end(), chunk.data(), chunk.data() + (chunk.size() - stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return out;
}

TEST_F(HostileTest, EntryDeclaringFourGigabytes)
{
    // Stored, with both sizes at 4 GB and a few bytes of data: the data runs
    // past the archive.
    {
        TestArchive archive;
        AddOrdinaryFiles(archive);
        auto& entry = archive.Add("huge.swf", ToBytes("small"));
        entry.compressedSize = 0xFFFFFFFF;
        entry.uncompressedSize = 0xFFFFFFFF;
        Bytes zip = archive.Build();
        ExpectRefusedWithMessage(RunStartup(zip));
        EXPECT_EQ(RunExtract(zip).status, 2);
    }
    // Deflated, honest compressed size, 4 GB uncompressed: the stream ends
    // long before, and the short file fails its check.
    {
        TestArchive archive;
        AddOrdinaryFiles(archive);
        auto& entry = archive.Add("huge.swf", ToBytes("small"), 8);
        entry.uncompressedSize = 0xFFFFFFFF;
        Bytes zip = archive.Build();
        auto outcome = RunStartup(zip);
        ExpectPlayed(outcome);
        EXPECT_EQ(outcome.workspace["huge.swf"].size, 5u);
        EXPECT_EQ(RunExtract(zip).status, 3);
    }
}

// 200 MB of zeros in a few hundred kilobytes: unpacked in pieces, so it
// costs disk, not memory, and goes again at exit.
TEST_F(HostileTest, DeflateBombOfTwoHundredMegabytes)
{
    constexpr std::size_t Size = 200u << 20;
    DWORD crc = 0;
    TestArchive archive;
    AddOrdinaryFiles(archive);
    auto& entry = archive.Add("bomb.swf", {}, 8);
    entry.payload = DeflateZeros(Size, crc);
    entry.crc = crc;
    entry.uncompressedSize = DWORD(Size);
    Bytes zip = archive.Build();
    ASSERT_LT(zip.size(), 1u << 20);

    auto outcome = RunStartup(zip);
    ExpectPlayed(outcome);
    EXPECT_EQ(outcome.workspace["bomb.swf"].size, Size);
}

TEST_F(HostileTest, StoredEntryRunningPastTheArchive)
{
    TestArchive archive;
    AddOrdinaryFiles(archive);
    auto& entry = archive.Add("past.swf", ToBytes("only these bytes"));
    entry.compressedSize = 10'000'000;
    entry.uncompressedSize = 10'000'000;
    Bytes zip = archive.Build();
    ExpectRefusedWithMessage(RunStartup(zip));
    EXPECT_EQ(RunExtract(zip).status, 2);
}

TEST_F(HostileTest, CentralDirectoryPointingPastTheEnd)
{
    for (DWORD offset : { 0x7FFFFFF0u, 0xFFFFFFF0u }) {
        TestArchive archive;
        AddOrdinaryFiles(archive);
        archive.faults.offset = offset;
        Bytes zip = archive.Build();
        SCOPED_TRACE(offset);
        ExpectRefusedWithMessage(RunStartup(zip));
        EXPECT_EQ(RunExtract(zip).status, 2);
    }
    TestArchive archive;
    AddOrdinaryFiles(archive);
    archive.faults.size = 0x10000000;
    ExpectRefusedWithMessage(RunStartup(archive.Build()));
}

// Two central headers naming one local header are refused when the
// directory is read; data that runs into the central directory fails its
// check.
TEST_F(HostileTest, OverlappingEntries)
{
    {
        TestArchive archive;
        AddOrdinaryFiles(archive);
        archive.Add("one.swf", ToBytes("shared bytes"));
        archive.Add("two.swf", ToBytes("shared bytes"));
        archive.Build();
        archive.entries[3].centralOffset = archive.localOffsets[2];
        Bytes zip = archive.Build();
        ExpectRefusedWithMessage(RunStartup(zip));
        EXPECT_EQ(RunExtract(zip).status, 2);
    }
    {
        TestArchive archive;
        AddOrdinaryFiles(archive);
        auto& entry = archive.Add("into-directory.swf", ToBytes("abc"));
        entry.compressedSize = 200;
        entry.uncompressedSize = 200;
        Bytes zip = archive.Build();
        ExpectRefusedWithMessage(RunStartup(zip));
        EXPECT_EQ(RunExtract(zip).status, 2);
    }
}

TEST_F(HostileTest, EncryptedEntryWithAWrongCheckByte)
{
    TestArchive archive;
    AddOrdinaryFiles(archive);
    auto& entry = archive.Add("locked.swf", ToBytes("secret movie"), 8);
    entry.password = PackagePassword;
    entry.checkByte = BYTE(~(Crc32(entry.plain) >> 24));
    Bytes zip = archive.Build();
    auto outcome = RunStartup(zip);
    ExpectRefusedWithMessage(outcome);
    EXPECT_EQ(outcome.messages[0], "Incorrect password set for the file being decrypted");
    EXPECT_EQ(RunExtract(zip).status, 2);
}

// The player reads the main movie's header: a declared length of 4 GB, with
// a stored or a compressed body, costs no more than the file holds.
TEST_F(HostileTest, MovieHeaderDeclaringFourGigabytes)
{
    Bytes compressedBody(64, 0x11);
    uLongf packedSize = compressBound(uLong(compressedBody.size()));
    Bytes packed(packedSize);
    compress(packed.data(), &packedSize, compressedBody.data(), uLong(compressedBody.size()));
    packed.resize(packedSize);

    Bytes stored = ToBytes("FWS\x08\xFF\xFF\xFF\xFF");
    stored.push_back(0x50);
    Bytes compressed = ToBytes("CWS\x08\xFF\xFF\xFF\xFF");
    compressed.insert(compressed.end(), packed.begin(), packed.end());

    TestArchive archive;
    archive.Add("package.ini", ToBytes("[SETTINGS]\r\nmainmovie=stored.swf\r\n"));
    archive.Add("stored.swf", stored);
    archive.Add("compressed.swf", compressed, 8);
    archive.Add("header-only.swf", ToBytes("CWS\x08\xFF\xFF\xFF\xFF"));
    std::vector<MovieSize> sizes;
    auto outcome = RunStartup(archive.Build(), [&](CPlayerApp& app) {
        for (const auto& movie : app.m_arrMovies) {
            DWORD colour = 0;
            sizes.push_back(ReadMovieHeader(app.m_strWorkspace + "\\" + movie, colour));
        }
    });
    ExpectPlayed(outcome);
    EXPECT_EQ(sizes.size(), 3u);
}

// A settings file of a megabyte of noise with a few lines in it: the reader
// finds what it can and never hands back more than 299 characters.
TEST_F(HostileTest, SettingsFileOfAMegabyteOfBinaryBytes)
{
    Bytes ini = NoiseBytes(1 << 20, 7);
    const std::string lines = "\r\n[SETTINGS]\r\nmainmovie=" + std::string(5000, 'm') + "\r\ntype=\0all\r\n";
    ini.insert(ini.begin() + 300000, lines.begin(), lines.end());
    ini[1000] = 0;

    TestArchive archive;
    archive.Add("package.ini", ini, 8);
    archive.Add("logo.swf", ToBytes("FWS\x06\x10\x00\x00\x00\x08\x00"));
    std::vector<CString> values;
    auto outcome = RunStartup(archive.Build(), [&](CPlayerApp& app) {
        for (const char* key : { "fullscreen", "mainmovie", "type" })
            values.push_back(ReadIniString("SETTINGS", key, "default", app.m_strWorkspace + "\\package.ini"));
    });
    ExpectPlayed(outcome);
    ASSERT_EQ(values.size(), 3u);
    for (const auto& value : values)
        EXPECT_LE(value.size(), 299u);
}

} // namespace
