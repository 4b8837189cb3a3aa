// quorvel-pack on Windows players: executables made by MinGW-w64 at build
// time (tests/CMakeLists.txt), and copies of them with bytes changed to do harm.

#include "res/ResourceIds.h"
#include "support/Command.h"
#include "support/ScratchFolder.h"

#include "platform/ResourceTable.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

const std::string s_pack = QUORVEL_BINARY_DIR "/quorvel-pack";
const std::string s_windows = QUORVEL_BINARY_DIR "/tests/windows/";
const std::string s_logo = QUORVEL_BINARY_DIR "/res/logo.swf";

std::uint32_t Get32(const Bytes& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

void Put32(Bytes& b, size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

std::string Text(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// Where the headers a test changes lie in a sound image.
struct PeLayout {
    explicit PeLayout(const Bytes& image)
    {
        size_t pe = Get32(image, 0x3C);
        optional = pe + 24;
        size_t optionalSize = image[pe + 20] | image[pe + 21] << 8;
        bool plus = image[optional] == 0x0B && image[optional + 1] == 0x02;
        resourceDirectory = optional + (plus ? 112 : 96) + 2 * 8;
        std::uint32_t rva = Get32(image, resourceDirectory);
        size_t sections = optional + optionalSize;
        for (size_t s = sections; s < sections + 40 * size_t(image[pe + 6]); s += 40) {
            std::uint32_t va = Get32(image, s + 12);
            if (rva >= va && rva < va + Get32(image, s + 16)) {
                rsrcSection = s;
                tree = Get32(image, s + 20) + (rva - va);
                treeRva = rva;
            }
        }
    }
    // The file offset of the bytes at `rva` within .rsrc.
    size_t FileOffset(std::uint32_t rva) const { return tree + (rva - treeRva); }

    size_t optional { 0 };
    size_t resourceDirectory { 0 };
    size_t rsrcSection { 0 };
    size_t tree { 0 };
    std::uint32_t treeRva { 0 };
};

struct WindowsInput : testing::Test {
    void SetUp() override
    {
        if (!fs::exists(s_windows + "game.exe"))
            GTEST_SKIP() << "no Windows players: MinGW-w64 is missing (scripts/setup.sh installs it)";
        fs::copy_file("/bin/true", player);
    }

    // Runs quorvel-pack in the scratch folder, so that names are as given.
    CommandResult Pack(const std::string& arguments) const
    {
        return RunCommand("cd " + ShellQuote(scratch.path()) + " && " + ShellQuote(s_pack) + " " + arguments);
    }
    CommandResult Build(const std::string& input, const std::string& output = "game") const
    {
        return Pack("build --player " + ShellQuote(player) + " --no-control -o " + output + " " + input);
    }
    std::string Write(const std::string& name, const Bytes& bytes) const
    {
        WriteFileBytes(scratch / name, bytes);
        return name;
    }
    Bytes Extracted(const std::string& package, const std::string& name) const
    {
        fs::remove_all(scratch / "out");
        CommandResult extract = Pack("extract " + package + " out");
        EXPECT_EQ(extract.status, 0) << extract.err;
        return ReadFileBytes(scratch / ("out/" + name));
    }

    ScratchFolder scratch;
    std::string player = scratch / "player";
};

} // namespace

// list and extract read the ZIP/129 resource of a 32-bit and of a 64-bit
// executable, also when the package's end record is far from the file's end.
TEST_F(WindowsInput, ListAndExtractReadTheResource)
{
    Bytes game = ReadFileBytes(s_windows + "game.exe");
    Bytes overlaid = game;
    overlaid.resize(game.size() + 200 * 1024, 0x5A);
    for (const std::string& exe :
        { s_windows + "game.exe", s_windows + "game64.exe", Write("signed.exe", overlaid) }) {
        CommandResult list = Pack("list " + ShellQuote(exe));
        ASSERT_EQ(list.status, 0) << exe << ": " << list.err;
        EXPECT_EQ(list.out.find("package.ini\t"), 0u) << list.out;
        EXPECT_NE(list.out.find("\nlogo.swf\t"), std::string::npos) << list.out;
        EXPECT_EQ(Extracted(ShellQuote(exe), "logo.swf"), ReadFileBytes(s_logo)) << exe;
    }
    EXPECT_EQ(Text(Extracted("signed.exe", "package.ini")),
        "[SETTINGS]\r\nfullscreen=false\r\nmainmovie=logo.swf\r\nid=windows-game_1\r\n");
}

// build makes a Linux player of the same movies and settings; its id is
// kept, or added when the Windows package has none; the Windows control
// stays behind.
TEST_F(WindowsInput, BuildTurnsItIntoALinuxPlayer)
{
    CommandResult build = Build(ShellQuote(s_windows + "game.exe"));
    ASSERT_EQ(build.status, 0) << build.err;
    EXPECT_NE(build.out.find("id: windows-game_1\n"), std::string::npos) << build.out;
    Bytes built = ReadFileBytes(scratch / "game");
    auto resources = platform::ParseResourceTable(built);
    ASSERT_TRUE(resources);
    ASSERT_EQ(resources->size(), 1u); // the package only: no OCX
    EXPECT_EQ(resources->front().type, platform::ResourceType(std::string(RT_PACKAGE)));
    EXPECT_EQ(Extracted("game", "logo.swf"), ReadFileBytes(s_logo));
    EXPECT_EQ(Text(Extracted("game", "package.ini")),
        "[SETTINGS]\r\nfullscreen=false\r\nmainmovie=logo.swf\r\nid=windows-game_1\r\n");

    build = Build(ShellQuote(s_windows + "game64.exe"), "game64");
    ASSERT_EQ(build.status, 0) << build.err;
    // The id line comes in; every other byte stays.
    std::string settings = Text(Extracted("game64", "package.ini"));
    size_t id = settings.find("\nid=");
    ASSERT_NE(id, std::string::npos) << settings;
    std::string idText = settings.substr(id + 4, 32);
    EXPECT_NE(build.out.find("id: " + idText + "\n"), std::string::npos) << build.out;
    EXPECT_EQ(settings.erase(id + 1, 3 + 32 + 2), "[SETTINGS]\r\nfullscreen=true\r\nmainmovie=logo.swf\r\n");
    EXPECT_EQ(Extracted("game64", "logo.swf"), ReadFileBytes(s_logo));
}

// The Windows player is an input like any other: OUTPUT may not replace it,
// and the package.ini it carries settles the settings.
TEST_F(WindowsInput, BuildTakesItAsAnInput)
{
    fs::copy_file(s_windows + "game.exe", scratch / "game.exe");
    CommandResult over = Build("game.exe", "game.exe");
    EXPECT_EQ(over.status, 2);
    EXPECT_EQ(over.err, "error: game.exe is the output; OUTPUT must not replace an input\n");
    EXPECT_EQ(ReadFileBytes(scratch / "game.exe"), ReadFileBytes(s_windows + "game.exe"));
    CommandResult options = Build("--main logo.swf game.exe");
    EXPECT_EQ(options.status, 1);
    EXPECT_NE(options.err.find("the inputs hold one (game.exe)"), std::string::npos) << options.err;
    EXPECT_FALSE(fs::exists(scratch / "game"));
}

TEST_F(WindowsInput, WithoutThePackageItSaysSo)
{
    fs::copy_file(s_windows + "other.exe", scratch / "other.exe");
    for (const char* verb : { "list other.exe", "extract other.exe out" }) {
        CommandResult result = Pack(std::string(verb));
        EXPECT_EQ(result.status, 2) << verb;
        EXPECT_EQ(result.err, "error: other.exe carries no package (resource ZIP/129)\n") << verb;
    }
    CommandResult build = Build("other.exe");
    EXPECT_EQ(build.status, 2);
    EXPECT_EQ(build.err, "error: other.exe carries no package (resource ZIP/129)\n");
    EXPECT_FALSE(fs::exists(scratch / "out"));
    EXPECT_FALSE(fs::exists(scratch / "game"));
}

// Each damaged copy: every verb exits 2 with an error and writes nothing.
TEST_F(WindowsInput, HostileExecutablesAreRefusedWithoutHarm)
{
    const Bytes game = ReadFileBytes(s_windows + "game.exe");
    const Bytes game64 = ReadFileBytes(s_windows + "game64.exe");
    const PeLayout layout(game);
    const PeLayout layout64(game64);
    ASSERT_NE(layout.tree, 0u);
    std::uint32_t typeDirectory = Get32(game, layout.tree + 16 + 4) & 0x7FFFFFFF;
    // The ZIP resource's data entry: its RVA, then its size.
    std::string image = Text(game);
    size_t zip = image.find("PK\x03\x04");
    std::uint32_t zipRva = std::uint32_t(layout.treeRva + (zip - layout.tree));
    std::string entry(8, '\0');
    for (int i = 0; i < 4; ++i) {
        entry[i] = char(zipRva >> (8 * i));
        entry[4 + i] = char(ReadFileBytes(s_windows + "package.zip").size() >> (8 * i));
    }
    size_t dataEntry = image.find(entry, layout.tree);
    ASSERT_NE(dataEntry, std::string::npos);

    struct Case {
        const char* what;
        Bytes bytes;
    };
    std::vector<Case> cases;
    auto patched = [&](const char* what, const Bytes& base, auto change) {
        Bytes bytes = base;
        change(bytes);
        cases.push_back({ what, bytes });
    };
    patched("MS-DOS header cut short", game, [&](Bytes& b) { b.resize(40); });
    patched("header cut short", game, [&](Bytes& b) { b.resize(Get32(game, 0x3C) + 30); });
    patched("PE header past the end", game, [&](Bytes& b) { Put32(b, 0x3C, std::uint32_t(game.size())); });
    patched("section past the end", game,
        [&](Bytes& b) { Put32(b, layout.rsrcSection + 20, std::uint32_t(game.size() - 16)); });
    patched("resource directory outside the sections", game,
        [&](Bytes& b) { Put32(b, layout.resourceDirectory, 0x7FFF0000); });
    patched("root refers to itself", game, [&](Bytes& b) { Put32(b, layout.tree + 16 + 4, 0x80000000); });
    patched("names refer to the root", game,
        [&](Bytes& b) { Put32(b, layout.tree + typeDirectory + 16 + 4, 0x80000000); });
    patched("resource larger than the file", game,
        [&](Bytes& b) { Put32(b, dataEntry + 4, std::uint32_t(game.size() + 1)); });
    patched("resource data past the end", game,
        [&](Bytes& b) { Put32(b, dataEntry, std::uint32_t(zipRva + game.size())); });
    patched("PE32+ file alignment 0x300", game64, [&](Bytes& b) { Put32(b, layout64.optional + 36, 0x300); });
    patched("PE32+ section at an odd file offset", game64,
        [&](Bytes& b) { Put32(b, layout64.rsrcSection + 20, Get32(game64, layout64.rsrcSection + 20) + 1); });
    patched("PE32+ sections aligned finer than the file", game64,
        [&](Bytes& b) { Put32(b, layout64.optional + 32, 0x100); });

    for (const Case& c : cases) {
        Write("bad.exe", c.bytes);
        for (const char* verb : { "list bad.exe", "extract bad.exe out" }) {
            CommandResult result = Pack(std::string(verb));
            EXPECT_EQ(result.status, 2) << c.what << ": " << verb;
            EXPECT_TRUE(result.err.starts_with("error: bad.exe")) << c.what << ": " << result.err;
        }
        EXPECT_EQ(Build("bad.exe").status, 2) << c.what;
        EXPECT_FALSE(fs::exists(scratch / "out")) << c.what;
        EXPECT_FALSE(fs::exists(scratch / "game")) << c.what;
    }
}
