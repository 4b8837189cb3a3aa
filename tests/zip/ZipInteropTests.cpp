// Archives written by other tools, made at test time, read by our reader.

#include "support/Command.h"
#include "support/ScratchFolder.h"
#include "zip/ZipTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <utime.h>

namespace fs = std::filesystem;

namespace {

using FileMap = std::map<std::string, Bytes>;

// 2005-11-24 22:13:36 local time: even seconds survive the DOS format.
std::time_t SampleTime()
{
    std::tm fields {};
    fields.tm_year = 105;
    fields.tm_mon = 10;
    fields.tm_mday = 24;
    fields.tm_hour = 22;
    fields.tm_min = 13;
    fields.tm_sec = 36;
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

std::time_t ModificationTime(const fs::path& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : -1;
}

// Every regular file below `folder`, by its bare name.
FileMap FlatFiles(const fs::path& folder)
{
    FileMap files;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        if (item.is_regular_file())
            files[item.path().filename().string()] = ReadFileBytes(item.path().string());
    }
    return files;
}

class Interop : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(Src("movies/intro"));
        WriteFileBytes(Src("package.ini"), ToBytes("[SETTINGS]\r\nmainmovie=logo.swf\r\n"));
        WriteFileBytes(Src("logo.swf"), NoiseBytes(200000));
        WriteFileBytes(Src("zeros.bin"), Bytes(100000, 0));
        WriteFileBytes(Src("movies/intro/intro.swf"), NoiseBytes(70000, 3));
        WriteFileBytes(Src("empty.txt"), {});
        WriteFileBytes(Src("readonly.txt"), ToBytes("do not touch"));
        fs::permissions(Src("readonly.txt"), fs::perms(0444));
        utimbuf times { SampleTime(), SampleTime() };
        for (const auto& item : fs::recursive_directory_iterator(Src("")))
            ::utime(item.path().c_str(), &times);
    }

    std::string Src(const std::string& name) const { return scratch / ("src/" + name); }
    std::string Path(const std::string& name) const { return scratch / name; }

    void RequireTool(const char* tool)
    {
        if (!HasProgram(tool))
            GTEST_SKIP() << tool << " is not installed";
    }

    void Run(const std::string& command)
    {
        CommandResult result = RunCommand(command);
        ASSERT_EQ(result.status, 0) << command << "\n" << result.err;
    }

    // Extracts every entry the way the player does: flat, 64 KB transfers.
    void ExtractAll(const std::string& archive, const std::string& password = "")
    {
        fs::create_directories(Path("ours"));
        MemoryArchive zip(ReadFileBytes(archive));
        zip.Open(password.c_str());
        for (int i = 0; i < zip.reader.GetEntryCount(); ++i)
            EXPECT_TRUE(zip.reader.ExtractEntry(i, Path("ours").c_str(), false, nullptr, 65536))
                << zip.reader.GetEntryHeader(i)->GetFileName();
        zip.reader.Close();
    }

    // What we extracted equals the originals and what unzip makes of the archive.
    void ExpectSameAsSourceAndUnzip(const std::string& archive, const std::string& password = "")
    {
        FileMap ours = FlatFiles(Path("ours"));
        EXPECT_EQ(ours, FlatFiles(Src("")));
        if (HasProgram("unzip")) {
            std::string pw = password.empty() ? "" : " -P " + ShellQuote(password);
            Run("unzip -qq" + pw + " -d " + ShellQuote(Path("theirs")) + " " + ShellQuote(archive));
            EXPECT_EQ(ours, FlatFiles(Path("theirs")));
        }
        for (const auto& [name, bytes] : ours)
            EXPECT_EQ(ModificationTime(Path("ours/" + name)), SampleTime()) << name;
        struct stat st { };
        ASSERT_EQ(::stat(Path("ours/readonly.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0222, 0u);
        ASSERT_EQ(::stat(Path("ours/logo.swf").c_str(), &st), 0);
        EXPECT_NE(st.st_mode & 0200, 0u);
    }

    ScratchFolder scratch;
};

class InfoZip : public Interop, public ::testing::WithParamInterface<const char*> { };

TEST_P(InfoZip, ArchivesAreReadLikeUnzipReadsThem)
{
    RequireTool("zip");
    std::string archive = Path("a.zip");
    Run("cd " + ShellQuote(Src("")) + " && zip -q -r " + GetParam() + " " + ShellQuote(archive) + " .");
    ExtractAll(archive, "secret");
    ExpectSameAsSourceAndUnzip(archive, "secret");
    EXPECT_TRUE(fs::is_directory(Path("ours/movies"))); // the folder entries
}

INSTANTIATE_TEST_SUITE_P(Options, InfoZip, ::testing::Values("-0", "-9", "-P secret", "-0 -P secret"));

TEST_F(Interop, InfoZipWithALongComment)
{
    RequireTool("zip");
    std::string archive = Path("a.zip");
    WriteFileBytes(Path("comment"), Bytes(40000, 'c'));
    Run("cd " + ShellQuote(Src("")) + " && zip -q -r " + ShellQuote(archive) + " . && zip -q -z "
        + ShellQuote(archive) + " < " + ShellQuote(Path("comment")));
    ExtractAll(archive);
    ExpectSameAsSourceAndUnzip(archive);
}

TEST_F(Interop, SevenZipWithZipCrypto)
{
    RequireTool("7z");
    std::string archive = Path("a.zip");
    Run("cd " + ShellQuote(Src("")) + " && 7z a -bd -tzip -mem=ZipCrypto -pPvx#d\\&JRTe "
        + ShellQuote(archive) + " . >/dev/null");
    MemoryArchive zip(ReadFileBytes(archive));
    zip.Open();
    for (int i = 0; i < zip.reader.GetEntryCount(); ++i) {
        const CZipEntryHeader& header = *zip.reader.GetEntryHeader(i);
        EXPECT_TRUE(header.IsEncrypted() || header.uncompressedSize == 0) << header.GetFileName();
    }
    ExtractAll(archive, "Pvx#d&JRTe");
    ExpectSameAsSourceAndUnzip(archive, "Pvx#d&JRTe");
}

class Bsdtar : public Interop, public ::testing::WithParamInterface<const char*> { };

TEST_P(Bsdtar, ArchivesWithDataDescriptors)
{
    RequireTool("bsdtar");
    std::string archive = Path("a.zip");
    Run(std::string("bsdtar --format zip ") + GetParam() + " -cf " + ShellQuote(archive) + " -C "
        + ShellQuote(Src("")) + " .");
    MemoryArchive zip(ReadFileBytes(archive));
    zip.Open();
    bool descriptors = false;
    for (int i = 0; i < zip.reader.GetEntryCount(); ++i)
        descriptors |= zip.reader.GetEntryHeader(i)->HasDataDescriptor();
    EXPECT_TRUE(descriptors);
    ExtractAll(archive);
    ExpectSameAsSourceAndUnzip(archive);
}

INSTANTIATE_TEST_SUITE_P(Methods, Bsdtar, ::testing::Values("", "--options zip:compression=store"));

// Python's zipfile lets us choose what zip and 7z decide for themselves:
// entries made on MS-DOS with their attribute values, and streamed entries.
TEST_F(Interop, PythonZipfileEntriesMadeOnMsDos)
{
    RequireTool("python3");
    std::string archive = Path("py.zip");
    std::string script = R"PY(
import sys, zipfile
class Unseekable:
    def __init__(self, f): self.f = f
    def write(self, b): return self.f.write(b)
    def flush(self): self.f.flush()
    def seekable(self): return False
    def tell(self): raise OSError("unseekable")
with open(sys.argv[1], "wb") as raw:
    with zipfile.ZipFile(Unseekable(raw), "w") as z:
        def add(name, data, attr, method=zipfile.ZIP_DEFLATED):
            info = zipfile.ZipInfo(name, date_time=(2005, 11, 24, 22, 13, 36))
            info.create_system = 0
            info.external_attr = attr
            info.compress_type = method
            z.writestr(info, data)
        add("logo.swf", bytes(range(256)) * 300, 0x81800020, zipfile.ZIP_STORED)
        add("docs/readme.txt", b"read me\r\n" * 50, 0x21)
        add("docs/", b"", 0x10)
        info = zipfile.ZipInfo("streamed.bin", date_time=(2005, 11, 24, 22, 13, 36))
        info.create_system = 0
        info.external_attr = 0x20
        info.compress_type = zipfile.ZIP_DEFLATED
        with z.open(info, "w") as w:
            for i in range(50):
                w.write(bytes([i]) * 3000)
)PY";
    WriteFileBytes(Path("make.py"), ToBytes(script));
    Run("python3 " + ShellQuote(Path("make.py")) + " " + ShellQuote(archive));

    MemoryArchive zip(ReadFileBytes(archive));
    zip.Open();
    ASSERT_EQ(zip.reader.GetEntryCount(), 4);
    EXPECT_TRUE(zip.reader.GetEntryHeader(3)->HasDataDescriptor());
    EXPECT_EQ(zip.reader.GetEntryHeader(1)->GetFileName(), "docs\\readme.txt");
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(zip.reader.ExtractEntry(i, Path("ours").c_str(), false, nullptr, 65536)) << i;

    Bytes logo;
    for (int i = 0; i < 300; ++i)
        for (int b = 0; b < 256; ++b)
            logo.push_back(BYTE(b));
    EXPECT_EQ(ReadFileBytes(Path("ours/logo.swf")), logo);
    Bytes streamed;
    for (int i = 0; i < 50; ++i)
        streamed.insert(streamed.end(), 3000, BYTE(i));
    EXPECT_EQ(ReadFileBytes(Path("ours/streamed.bin")), streamed);
    EXPECT_TRUE(fs::is_directory(Path("ours/docs")));

    struct stat st { };
    ASSERT_EQ(::stat(Path("ours/logo.swf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_mtime, SampleTime());
    ASSERT_EQ(::stat(Path("ours/readme.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    EXPECT_EQ(ModificationTime(Path("ours/streamed.bin")), SampleTime());
}

TEST_F(Interop, AnArchiveBehindAStub)
{
    RequireTool("zip");
    Bytes stub = NoiseBytes(12345, 9);
    WriteFileBytes(Path("stub"), stub);
    Run("cd " + ShellQuote(Src("")) + " && zip -q -r " + ShellQuote(Path("a.zip")) + " .");
    Run("cat " + ShellQuote(Path("stub")) + " " + ShellQuote(Path("a.zip")) + " > "
        + ShellQuote(Path("sfx")));
    {
        MemoryArchive zip(ReadFileBytes(Path("sfx")));
        zip.Open();
        EXPECT_EQ(zip.reader.GetBytesBeforeArchive(), stub.size());
    }
    ExtractAll(Path("sfx"));
    EXPECT_EQ(FlatFiles(Path("ours")), FlatFiles(Src("")));

    // With its offsets adjusted to the whole file, nothing precedes the archive.
    Run("zip -q -A " + ShellQuote(Path("sfx")));
    MemoryArchive adjusted(ReadFileBytes(Path("sfx")));
    adjusted.Open();
    EXPECT_EQ(adjusted.reader.GetBytesBeforeArchive(), 0u);
    EXPECT_EQ(ReadEntryBytes(adjusted.reader, 0).size(), adjusted.reader.GetEntryHeader(0)->uncompressedSize);
}

// The cause of the first failure met while extracting everything.
int ExtractCause(const Bytes& archive, const fs::path& folder, const char* password = nullptr)
{
    fs::create_directories(folder);
    MemoryArchive zip(archive);
    return CauseOf([&] {
        zip.Open(password);
        for (int i = 0; i < zip.reader.GetEntryCount(); ++i)
            zip.reader.ExtractEntry(i, folder.c_str(), false, nullptr, 65536);
    });
}

size_t Find(const Bytes& bytes, const std::string& what, size_t from = 0)
{
    auto it = std::search(bytes.begin() + long(from), bytes.end(), what.begin(), what.end());
    return it == bytes.end() ? std::string::npos : size_t(it - bytes.begin());
}

TEST_F(Interop, DamagedInfoZipArchives)
{
    RequireTool("zip");
    fs::remove(Src("readonly.txt"));
    Run("cd " + ShellQuote(Src("")) + " && zip -q -r -D -X " + ShellQuote(Path("d.zip"))
        + " package.ini zeros.bin");
    Run("cd " + ShellQuote(Src("")) + " && zip -q -r -D -0 " + ShellQuote(Path("s.zip"))
        + " package.ini logo.swf");
    Run("cd " + ShellQuote(Src("")) + " && zip -q -r -D -P right " + ShellQuote(Path("e.zip")) + " .");
    const Bytes deflated = ReadFileBytes(Path("d.zip"));
    const Bytes stored = ReadFileBytes(Path("s.zip"));
    const std::string central("PK\x01\x02", 4);

    Bytes half(stored.begin(), stored.begin() + long(stored.size() / 2));
    EXPECT_EQ(ExtractCause(half, Path("half")), 116);
    Bytes clipped(stored.begin(), stored.end() - 10); // the end record is cut short
    EXPECT_EQ(ExtractCause(clipped, Path("clipped")), 101);

    Bytes noEnd = stored;
    noEnd[Find(noEnd, std::string("PK\x05\x06", 4))] = 'X';
    EXPECT_EQ(ExtractCause(noEnd, Path("noend")), 116);

    Bytes flipped = stored; // a byte of logo.swf's data
    flipped[stored.size() / 2] ^= 0x01;
    EXPECT_EQ(ExtractCause(flipped, Path("flipped")), 102);
    EXPECT_FALSE(fs::exists(Path("flipped/logo.swf")));

    Bytes inflated = deflated; // the first block of zeros.bin now claims the reserved type
    size_t data = Find(inflated, "zeros.bin") + 9;
    inflated[data] |= 0x06;
    EXPECT_EQ(ExtractCause(inflated, Path("inflated")), 504);
    EXPECT_FALSE(fs::exists(Path("inflated/zeros.bin")));

    Bytes duplicate = stored; // the second central header points at the first entry
    size_t first = Find(duplicate, central), second = Find(duplicate, central, first + 4);
    ASSERT_NE(second, std::string::npos);
    std::copy_n(duplicate.begin() + long(first + 42), 4, duplicate.begin() + long(second + 42));
    EXPECT_EQ(ExtractCause(duplicate, Path("duplicate")), 101);

    // The check byte is one byte: a wrong password slips past it one time in 256,
    // to fail on the data instead. Over several entries, most fail the check.
    MemoryArchive wrong(ReadFileBytes(Path("e.zip")));
    wrong.Open("wrong");
    int checks = 0;
    for (int i = 0; i < wrong.reader.GetEntryCount(); ++i) {
        // An empty entry has no data to fail on: when the check byte lets
        // the wrong password by, it extracts whole (its CRC-32 is that of
        // nothing), and the format cannot tell.
        const CZipEntryHeader* header = wrong.reader.GetEntryHeader(i);
        if (!header->IsEncrypted() || header->uncompressedSize == 0)
            continue;
        int c = CauseOf([&] { wrong.reader.ExtractEntry(i, Path("wrong").c_str(), false, nullptr, 65536); });
        EXPECT_TRUE(c == 110 || c == 102 || c == 504 || c == 101) << c;
        checks += c == 110;
        wrong.reader.CloseEntry(CZipReader::closeAfterException);
    }
    EXPECT_GE(checks, 2);
}

} // namespace
