// quorvel-pack build, run as a user runs it, and its packages read back by
// quorvel-pack itself and by the usual unzip tools.

#include "res/ResourceIds.h"
#include "support/Command.h"
#include "support/ScratchFolder.h"

#include "platform/ResourceTable.h"
#include "platform/pixbuf/IconImages.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <gtest/gtest.h>

#include <sstream>

#include <filesystem>
#include <sys/stat.h>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

const std::string s_pack = QUORVEL_BINARY_DIR "/quorvel-pack";
const std::string s_password = "Pvx#d&JRTe";
constexpr size_t MaxTitle = 256;

Bytes ToBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Noise(size_t count, unsigned seed)
{
    Bytes bytes(count);
    for (unsigned char& b : bytes) {
        seed = seed * 1103515245 + 12345;
        b = static_cast<unsigned char>(seed >> 16);
    }
    return bytes;
}

// A scratch folder with a stand-in player and a folder of movies:
//   movies/intro.swf, movies/zero.swf (empty), movies/levels/one.swf (64 KB),
//   movies/levels/notes.txt, movies/empty/
struct BuildFixture : testing::Test {
    void SetUp() override
    {
        fs::copy_file("/bin/true", player);
        fs::create_directories(scratch / "movies/levels");
        fs::create_directories(scratch / "movies/empty");
        files = {
            { "intro.swf", ToBytes("FWS intro") },
            { "zero.swf", {} },
            { "levels/one.swf", Noise(65536, 1) },
            { "levels/notes.txt", ToBytes(std::string(70000, 'n')) },
        };
        for (const auto& [name, bytes] : files)
            WriteFileBytes(scratch / ("movies/" + name), bytes);
    }

    CommandResult Pack(const std::string& arguments) const
    {
        return RunCommand(ShellQuote(s_pack) + " " + arguments);
    }
    // build with the stand-in player and no control.
    CommandResult Build(const std::string& arguments) const
    {
        return Pack("build --player " + ShellQuote(player) + " --no-control " + arguments);
    }

    ScratchFolder scratch;
    std::string player = scratch / "player";
    std::string output = scratch / "game";
    std::vector<std::pair<std::string, Bytes>> files;
};

// The resources appended to a built executable.
std::vector<platform::ResourceEntry> Resources(const Bytes& image)
{
    auto entries = platform::ParseResourceTable(image);
    return entries ? *entries : std::vector<platform::ResourceEntry> {};
}

// The bytes of the package resource.
Bytes PackageOf(const Bytes& image)
{
    for (const auto& entry : Resources(image)) {
        if (entry.type == platform::ResourceType(std::string(RT_PACKAGE)) && entry.id == IDR_PACKAGE)
            return Bytes(image.begin() + long(entry.offset), image.begin() + long(entry.offset + entry.size));
    }
    return {};
}

// A settings text split into its id line's value and the rest, every other
// byte as it was.
struct SplitSettings {
    std::string id;
    std::string rest;
};

SplitSettings SplitId(const std::string& text)
{
    size_t at = text.starts_with("id=") ? 0 : text.find("\nid=");
    if (at == std::string::npos)
        return { "", text };
    size_t begin = at == 0 ? 0 : at + 1;
    size_t end = text.find('\n', begin);
    end = end == std::string::npos ? text.size() : end + 1;
    std::string line = text.substr(begin + 3, end - begin - 3);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return { line, text.substr(0, begin) + text.substr(end) };
}

bool IsGeneratedId(const std::string& id)
{
    return id.size() == 32 && id.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// The id that build printed on stdout.
std::string PrintedId(const CommandResult& build)
{
    std::istringstream lines(build.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("id: "))
            return line.substr(4);
    }
    return "";
}

std::string SettingsOf(const BuildFixture& fixture, const std::string& target)
{
    CommandResult extract
        = fixture.Pack("extract " + ShellQuote(fixture.output) + " " + ShellQuote(fixture.scratch / target));
    EXPECT_EQ(extract.status, 0) << extract.err;
    Bytes ini = ReadFileBytes(fixture.scratch / (target + "/package.ini"));
    return std::string(ini.begin(), ini.end());
}

} // namespace

// A folder of movies becomes an executable: the player's bytes, then the
// package; list and extract read it back from the executable.
TEST_F(BuildFixture, PackagesAFolderIntoThePlayer)
{
    CommandResult build = Build("-o " + ShellQuote(output) + " " + ShellQuote(scratch / "movies"));
    ASSERT_EQ(build.status, 0) << build.err;

    Bytes image = ReadFileBytes(output);
    Bytes original = ReadFileBytes(player);
    ASSERT_GT(image.size(), original.size());
    EXPECT_TRUE(std::equal(original.begin(), original.end(), image.begin()));
    struct stat info { };
    ASSERT_EQ(::stat(output.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    // Appended data does not keep the program from running.
    EXPECT_EQ(RunCommand(ShellQuote(output)).status, 0);
    auto resources = Resources(image);
    ASSERT_EQ(resources.size(), 1u);
    EXPECT_EQ(resources[0].offset, original.size());

    CommandResult list = Pack("list " + ShellQuote(output));
    ASSERT_EQ(list.status, 0) << list.err;
    const char* const lines[] = {
        "package.ini\tfile size=88 ", // with "id=" and 32 digits
        "empty\\\tfolder size=0 packed=0 stored attributes=0x41C00010 made-by=0",
        "intro.swf\tfile size=9 ",
        "levels\\one.swf\tfile size=65536 ",
        "zero.swf\tfile size=0 ",
    };
    for (const char* line : lines)
        EXPECT_NE(list.out.find(line), std::string::npos) << line << "\n" << list.out;
    EXPECT_NE(list.out.find("deflated encrypted attributes=0x81800020 made-by=0"), std::string::npos);

    CommandResult extract = Pack("extract " + ShellQuote(output) + " " + ShellQuote(scratch / "out"));
    ASSERT_EQ(extract.status, 0) << extract.err;
    for (const auto& [name, bytes] : files)
        EXPECT_EQ(ReadFileBytes(scratch / ("out/" + fs::path(name).filename().string())), bytes) << name;
    SplitSettings settings = SplitId(SettingsOf(*this, "settings"));
    EXPECT_EQ(settings.rest, "[SETTINGS]\r\nfullscreen=false\r\nmainmovie=intro.swf\r\n");
    EXPECT_TRUE(IsGeneratedId(settings.id)) << settings.id;
    EXPECT_EQ(PrintedId(build), settings.id) << build.out;
}

// Entry times are the files' modification times, in DOS form.
TEST_F(BuildFixture, EntriesCarryTheFilesTimes)
{
    ASSERT_EQ(
        RunCommand("touch -d '2005-11-24 22:13:37' " + ShellQuote(scratch / "movies/intro.swf")).status, 0);
    ASSERT_EQ(Build("-o " + ShellQuote(output) + " " + ShellQuote(scratch / "movies/intro.swf")).status, 0);
    CommandResult list = Pack("list " + ShellQuote(output));
    EXPECT_NE(list.out.find("intro.swf\tfile size=9 "), std::string::npos) << list.out;
    EXPECT_NE(
        list.out.find("attributes=0x81800020 made-by=0 modified=2005-11-24 22:13:36"), std::string::npos)
        << list.out;
}

// Other tools read our packages to the same bytes, in every form we write.
TEST_F(BuildFixture, UnzipAnd7zReadThePackage)
{
    for (const char* form : { "", "--store", "--no-encrypt", "--store --no-encrypt" }) {
        SCOPED_TRACE(form);
        ASSERT_EQ(
            Build(std::string(form) + " -o " + ShellQuote(output) + " " + ShellQuote(scratch / "movies"))
                .status,
            0);
        std::string zip = scratch / "package.zip";
        WriteFileBytes(zip, PackageOf(ReadFileBytes(output)));
        struct Tool {
            const char* program;
            std::string command;
        };
        std::string folder
            = scratch / (std::string("by-tool-") + std::to_string(std::hash<std::string> {}(form)));
        const Tool tools[] = {
            { "unzip", "unzip -q -o -P " + ShellQuote(s_password) + " " + ShellQuote(zip) + " -d " },
            { "7z", "7z x -y -p" + ShellQuote(s_password) + " " + ShellQuote(zip) + " -o" },
        };
        for (const Tool& tool : tools) {
            if (!HasProgram(tool.program))
                continue;
            std::string target = folder + "-" + tool.program;
            CommandResult run = RunCommand(tool.command + ShellQuote(target));
            ASSERT_EQ(run.status, 0) << tool.program << ": " << run.out << run.err;
            for (const auto& [name, bytes] : files)
                EXPECT_EQ(ReadFileBytes(target + "/" + name), bytes) << tool.program << " " << name;
            EXPECT_TRUE(fs::is_directory(target + "/empty")) << tool.program;
        }
    }
}

// package.ini: written from the options, or taken from --ini or from the
// inputs with every byte kept and an id line added.
TEST_F(BuildFixture, SettingsFromOptionsIniOrInputs)
{
    std::string movies = ShellQuote(scratch / "movies");
    struct Case {
        std::string options;
        std::string settings;
    };
    const Case cases[] = {
        { "--fullscreen", "[SETTINGS]\r\nfullscreen=true\r\nmainmovie=intro.swf\r\n" },
        { "--play-all --main one.swf",
            "[SETTINGS]\r\nfullscreen=false\r\nmainmovie=one.swf\r\ntype=all\r\n" },
        { "--main levels/one.swf", "[SETTINGS]\r\nfullscreen=false\r\nmainmovie=one.swf\r\n" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        ASSERT_EQ(Build(c.options + " -o " + ShellQuote(output) + " " + movies).status, 0);
        std::string settings = SettingsOf(*this, "settings-" + std::to_string(&c - cases));
        // The id follows the section header.
        EXPECT_EQ(settings.substr(0, 15), "[SETTINGS]\r\nid=");
        EXPECT_EQ(SplitId(settings).rest, c.settings);
    }

    const std::string own = "; ours\n[settings]\nType=Resource\nmainmovie=\"zero.swf\"\n";
    WriteFileBytes(scratch / "own.ini", ToBytes(own));
    ASSERT_EQ(
        Build("--ini " + ShellQuote(scratch / "own.ini") + " -o " + ShellQuote(output) + " " + movies).status,
        0);
    SplitSettings fromIni = SplitId(SettingsOf(*this, "from-ini"));
    EXPECT_EQ(fromIni.rest, own);
    EXPECT_TRUE(IsGeneratedId(fromIni.id)) << fromIni.id;

    WriteFileBytes(scratch / "movies/levels/package.ini", ToBytes(own));
    ASSERT_EQ(Build("-o " + ShellQuote(output) + " " + movies).status, 0);
    EXPECT_EQ(SplitId(SettingsOf(*this, "from-inputs")).rest, own);
    // Only one package.ini can win.
    CommandResult twice
        = Build("--ini " + ShellQuote(scratch / "own.ini") + " -o " + ShellQuote(output) + " " + movies);
    EXPECT_EQ(twice.status, 2);
    EXPECT_NE(twice.err.find("package.ini"), std::string::npos) << twice.err;
    EXPECT_EQ(Build("--fullscreen -o " + ShellQuote(output) + " " + movies).status, 1);
}

// Every package gets an identity: a new random one, the one --id names, or
// the one its own package.ini has.
TEST_F(BuildFixture, GivesEachPackageAnId)
{
    std::string movies = ShellQuote(scratch / "movies");
    std::string ids[2];
    for (std::string& id : ids) {
        CommandResult build = Build("-o " + ShellQuote(output) + " " + movies);
        ASSERT_EQ(build.status, 0) << build.err;
        id = SplitId(SettingsOf(*this, "generated-" + std::to_string(&id - ids))).id;
        EXPECT_TRUE(IsGeneratedId(id)) << id;
        EXPECT_EQ(PrintedId(build), id) << build.out;
    }
    EXPECT_NE(ids[0], ids[1]);

    const std::string kept = std::string(63, 'a') + "Z";
    for (const std::string& id : { std::string("my_Game-1"), std::string("7"), kept }) {
        CommandResult build = Build("--play-all --id " + id + " -o " + ShellQuote(output) + " " + movies);
        ASSERT_EQ(build.status, 0) << build.err;
        EXPECT_EQ(PrintedId(build), id);
        EXPECT_EQ(SettingsOf(*this, "given-" + id.substr(0, 8)),
            "[SETTINGS]\r\nid=" + id + "\r\nfullscreen=false\r\nmainmovie=intro.swf\r\ntype=all\r\n");
    }
    for (const char* bad :
        { "--id ''", "--id 'a b'", "--id ../x", "--id \xC3\xA9t\xC3\xA9", "--id=a.b", "--id" }) {
        SCOPED_TRACE(bad);
        CommandResult build = Build("-o " + ShellQuote(output) + " " + movies + " " + bad);
        EXPECT_EQ(build.status, 1);
        EXPECT_NE(build.err.find("--id"), std::string::npos) << build.err;
    }
    EXPECT_EQ(Build("--id " + std::string(65, 'a') + " -o " + ShellQuote(output) + " " + movies).status, 1);

    // A settings file with an id keeps it, byte for byte; --id replaces just
    // the value. Without a SETTINGS section, one is added at the end in the
    // file's own line ends.
    const std::string withId = "[Settings]\r\nmainmovie=intro.swf\r\n ID = \"old-one\" \r\ntype=all\r\n";
    WriteFileBytes(scratch / "with-id.ini", ToBytes(withId));
    std::string ini
        = "--ini " + ShellQuote(scratch / "with-id.ini") + " -o " + ShellQuote(output) + " " + movies;
    CommandResult keep = Build(ini);
    ASSERT_EQ(keep.status, 0) << keep.err;
    EXPECT_EQ(PrintedId(keep), "old-one");
    EXPECT_EQ(SettingsOf(*this, "with-id"), withId);
    ASSERT_EQ(Build("--id new " + ini).status, 0);
    EXPECT_EQ(SettingsOf(*this, "replaced"), "[Settings]\r\nmainmovie=intro.swf\r\n ID =new\r\ntype=all\r\n");

    const std::string noSection = "; only a comment\n[other]\nid=not-this";
    WriteFileBytes(scratch / "no-section.ini", ToBytes(noSection));
    ASSERT_EQ(Build("--id x1 --ini " + ShellQuote(scratch / "no-section.ini") + " -o " + ShellQuote(output)
                  + " " + movies)
                  .status,
        0);
    EXPECT_EQ(SettingsOf(*this, "no-section"), noSection + "\n[SETTINGS]\nid=x1\n");
}

// A ready .zip goes in unchanged once the player is known to unpack it.
TEST_F(BuildFixture, ReadyZipIsUsedUnchanged)
{
    if (!HasProgram("zip"))
        GTEST_SKIP() << "no zip program";
    std::string zip = scratch / "ready.zip";
    ASSERT_EQ(RunCommand("cd " + ShellQuote(scratch / "movies") + " && zip -q -P " + ShellQuote(s_password)
                  + " " + ShellQuote(zip) + " intro.swf levels/one.swf")
                  .status,
        0);
    CommandResult build = Build("-o " + ShellQuote(output) + " " + ShellQuote(zip));
    ASSERT_EQ(build.status, 0) << build.err;
    EXPECT_EQ(PackageOf(ReadFileBytes(output)), ReadFileBytes(zip));
    EXPECT_EQ(Build("--store -o " + ShellQuote(output) + " " + ShellQuote(zip)).status, 1);
    EXPECT_EQ(Build("--id abc -o " + ShellQuote(output) + " " + ShellQuote(zip)).status, 1);

    // Encrypted under another password: the player could not unpack it.
    std::string other = scratch / "other.zip";
    ASSERT_EQ(RunCommand("cd " + ShellQuote(scratch / "movies") + " && zip -q -P other " + ShellQuote(other)
                  + " intro.swf levels/one.swf")
                  .status,
        0);
    EXPECT_EQ(Build("-o " + ShellQuote(scratch / "other") + " " + ShellQuote(other)).status, 2);
    EXPECT_FALSE(fs::exists(scratch / "other"));
}

// Building from a packaged player replaces its package rather than adding
// a second one.
TEST_F(BuildFixture, StripsResourcesThePlayerAlreadyCarries)
{
    ASSERT_EQ(Build("-o " + ShellQuote(output) + " " + ShellQuote(scratch / "movies")).status, 0);
    std::string again = scratch / "again";
    ASSERT_EQ(Pack("build --no-control --player " + ShellQuote(output) + " -o " + ShellQuote(again) + " "
                  + ShellQuote(scratch / "movies/intro.swf"))
                  .status,
        0);
    Bytes image = ReadFileBytes(again);
    Bytes original = ReadFileBytes(player);
    EXPECT_TRUE(std::equal(original.begin(), original.end(), image.begin()));
    auto resources = Resources(image);
    ASSERT_EQ(resources.size(), 1u);
    EXPECT_EQ(resources[0].offset, original.size());
}

// Bad requests: a clear error, the right status, and nothing written or
// destroyed.
TEST_F(BuildFixture, RefusesBadRequestsWithoutHarm)
{
    std::string movies = ShellQuote(scratch / "movies");
    WriteFileBytes(output, ToBytes("previous build"));
    struct Case {
        std::string arguments;
        int status;
    };
    const Case cases[] = {
        { movies, 1 }, // no -o
        { "-o " + ShellQuote(output), 1 }, // no input
        { "--bogus -o " + ShellQuote(output) + " " + movies, 1 },
        { "--ini " + ShellQuote(scratch / "x.ini") + " --main intro.swf -o " + ShellQuote(output) + " "
                + movies,
            1 },
        { "-o " + ShellQuote(output) + " " + ShellQuote(scratch / "missing.swf"), 2 },
        { "-o " + ShellQuote(output) + " " + ShellQuote(scratch / "movies/levels/notes.txt"), 2 }, // no movie
        { "--main nothere.swf -o " + ShellQuote(output) + " " + movies, 2 },
        { "-o " + ShellQuote(output) + " " + movies + " " + ShellQuote(output), 2 }, // the output as input
        { "-o " + ShellQuote(output) + " " + movies + " " + ShellQuote(scratch / "movies/intro.swf"),
            2 }, // twice
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        CommandResult result = Build(c.arguments);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_FALSE(result.err.empty());
        if (c.status == 2) {
            EXPECT_EQ(result.err.rfind("error: ", 0), 0u) << result.err;
        }
    }
    // A missing player is an error too.
    EXPECT_EQ(Pack("build --no-control --player " + ShellQuote(scratch / "none") + " -o " + ShellQuote(output)
                  + " " + movies)
                  .status,
        2);
    // The player may not be the output.
    EXPECT_EQ(
        Pack("build --no-control --player " + ShellQuote(output) + " -o " + ShellQuote(output) + " " + movies)
            .status,
        2);

    EXPECT_EQ(ReadFileBytes(output), ToBytes("previous build"));
    for (const auto& entry : fs::directory_iterator(scratch.path()))
        EXPECT_EQ(entry.path().filename().string().find(".game."), std::string::npos) << entry.path();
}

namespace {

// A PNG of `width` x `height` pixels, from the icon images' own encoder.
Bytes PngOf(int width, int height)
{
    platform::PixbufPtr image(gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height));
    gdk_pixbuf_fill(image.get(), 0x2060C0FF);
    std::string png = platform::EncodePng(image.get());
    return Bytes(png.begin(), png.end());
}

Bytes ResourceOf(const Bytes& image, const platform::ResourceType& type, DWORD id)
{
    for (const auto& entry : Resources(image)) {
        if (entry.type == type && entry.id == id)
            return Bytes(image.begin() + long(entry.offset), image.begin() + long(entry.offset + entry.size));
    }
    return {};
}

} // namespace

// --title and --icon travel as string 1 and icon group 128, which list shows.
TEST_F(BuildFixture, TitleAndIconTravelInTheResourceTable)
{
    Bytes png = PngOf(30, 70);
    WriteFileBytes(scratch / "icon.png", png);
    std::string title = "Space \xE2\x9C\x93 Game";
    CommandResult build = Build("--title " + ShellQuote(title) + " --icon " + ShellQuote(scratch / "icon.png")
        + " -o " + ShellQuote(output) + " " + ShellQuote(scratch / "movies/intro.swf"));
    ASSERT_EQ(build.status, 0) << build.err;
    Bytes image = ReadFileBytes(output);
    EXPECT_EQ(ResourceOf(image, platform::ResourceType(DWORD(6)), IDS_TITLE), ToBytes(title));
    EXPECT_EQ(ResourceOf(image, platform::ResourceType(DWORD(14)), IDR_MAINFRAME), png);
    CommandResult list = Pack("list " + ShellQuote(output));
    EXPECT_TRUE(list.out.starts_with(
        "title: " + title + "\nicon: 30x70 PNG, " + std::to_string(png.size()) + " bytes\npackage.ini\t"))
        << list.out;

    // The longest title fits; a package without either keeps Quorvel's.
    std::string longest(MaxTitle, 'x');
    ASSERT_EQ(Build("--title " + longest + " -o " + ShellQuote(output) + " " + ShellQuote(scratch / "movies"))
                  .status,
        0);
    EXPECT_EQ(
        ResourceOf(ReadFileBytes(output), platform::ResourceType(DWORD(6)), IDS_TITLE), ToBytes(longest));
    ASSERT_EQ(Build("-o " + ShellQuote(output) + " " + ShellQuote(scratch / "movies")).status, 0);
    EXPECT_EQ(Resources(ReadFileBytes(output)).size(), 1u);
    EXPECT_TRUE(Pack("list " + ShellQuote(output)).out.starts_with("package.ini\t"));
}

TEST_F(BuildFixture, BadIconsAndTitlesAreRefusedAndWriteNothing)
{
    Bytes png = PngOf(48, 48);
    Bytes cut(png.begin(), png.begin() + long(png.size() / 2));
    Bytes damaged = png;
    damaged[png.size() - 20] ^= 0x40; // in the image data: its checksum no longer holds
    Bytes notPng = ToBytes("GIF89a, or anything but a PNG");
    // A header that says 5000 x 4000 pixels, over what an icon may take.
    Bytes huge = png;
    for (int i = 0; i < 8; ++i)
        huge[16 + i] = BYTE((i < 4 ? 5000u : 4000u) >> (24 - 8 * (i % 4)));
    DWORD crc = DWORD(::crc32(0, huge.data() + 12, 17));
    for (int i = 0; i < 4; ++i)
        huge[29 + i] = BYTE(crc >> (24 - 8 * i));
    std::vector<std::pair<std::string, Bytes>> icons = { { "cut.png", cut }, { "damaged.png", damaged },
        { "other.png", notPng }, { "empty.png", {} }, { "huge.png", huge } };
    std::vector<std::string> options;
    for (const auto& [name, bytes] : icons) {
        WriteFileBytes(scratch / name, bytes);
        options.push_back("--icon " + ShellQuote(scratch / name));
    }
    options.push_back("--icon " + ShellQuote(scratch / "absent.png"));
    options.push_back("--title " + ShellQuote("caf\xE9"));
    options.push_back("--title " + ShellQuote("\xC0\xAF"));
    options.push_back("--title " + std::string(MaxTitle + 1, 'x'));
    options.push_back("--title " + ShellQuote("two\nlines"));
    for (const std::string& option : options) {
        CommandResult result
            = Build(option + " -o " + ShellQuote(output) + " " + ShellQuote(scratch / "movies"));
        EXPECT_EQ(result.status, 2) << option;
        EXPECT_EQ(result.out, "") << option;
        EXPECT_TRUE(result.err.starts_with("error: ")) << option << "\n" << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << option << "\n" << result.err;
        EXPECT_FALSE(fs::exists(output)) << option;
    }
    for (const auto& entry : fs::directory_iterator(scratch.path()))
        EXPECT_EQ(entry.path().filename().string().find(".game."), std::string::npos) << entry.path();
}
