// quorvel-pack install and uninstall: a packaged player in the desktop's
// menu, written under a prefix or the user's own folders, and taken out again.

#include "support/Command.h"
#include "support/ScratchFolder.h"

#include "platform/pixbuf/IconImages.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const std::string s_pack = QUORVEL_BINARY_DIR "/quorvel-pack";
const int s_sizes[] = { 16, 24, 32, 48, 64, 128, 256 };

// A PNG of `width` x `height` opaque orange pixels.
std::vector<unsigned char> OrangePng(int width, int height)
{
    platform::PixbufPtr image(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height));
    gdk_pixbuf_fill(image.get(), 0xFCA311FF);
    std::string png = platform::EncodePng(image.get());
    return std::vector<unsigned char>(png.begin(), png.end());
}

platform::PixbufPtr Decode(const std::string& path)
{
    std::vector<unsigned char> bytes = ReadFileBytes(path);
    std::string error;
    return platform::DecodePng(bytes, error);
}

// The alpha of pixel (x, y) of an image with an alpha channel.
int AlphaAt(GdkPixbuf* image, int x, int y)
{
    const guchar* pixels = gdk_pixbuf_read_pixels(image);
    return pixels[y * gdk_pixbuf_get_rowstride(image) + x * gdk_pixbuf_get_n_channels(image) + 3];
}

std::string Text(const std::string& path)
{
    std::vector<unsigned char> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Every file and folder under `root`, by path relative to it.
std::set<std::string> Tree(const fs::path& root)
{
    std::set<std::string> paths;
    std::error_code failure;
    for (fs::recursive_directory_iterator at(root, failure), end; !failure && at != end;
         at.increment(failure))
        paths.insert(fs::relative(at->path(), root).string());
    return paths;
}

struct InstallFixture : testing::Test {
    void SetUp() override
    {
        WriteFileBytes(scratch / "intro.swf", { 'F', 'W', 'S', 6 });
        WriteFileBytes(scratch / "icon.png", OrangePng(40, 20));
    }

    CommandResult Pack(const std::string& arguments, const std::string& environment = "") const
    {
        return RunCommand(environment + " " + ShellQuote(s_pack) + " " + arguments);
    }
    CommandResult Build(const std::string& options) const
    {
        return Pack("build --no-control --player " + ShellQuote(QUORVEL_BINARY_DIR "/quorvel-player") + " -o "
            + ShellQuote(game) + " " + options + " " + ShellQuote(scratch / "intro.swf"));
    }

    ScratchFolder scratch;
    std::string game = scratch / "game";
    fs::path prefix = scratch.path() / "prefix";
};

} // namespace

TEST_F(InstallFixture, InstallsIntoAPrefixOnceAndUninstallTakesItAllOut)
{
    ASSERT_EQ(
        Build("--title 'Space Game' --icon " + ShellQuote(scratch / "icon.png") + " --id space-game").status,
        0);
    CommandResult install = Pack("install " + ShellQuote(game) + " --prefix " + ShellQuote(prefix));
    ASSERT_EQ(install.status, 0) << install.err;

    std::string copy = prefix / "bin/game";
    EXPECT_EQ(ReadFileBytes(copy), ReadFileBytes(game));
    struct stat info { };
    ASSERT_EQ(::stat(copy.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);

    std::string entry = prefix / "share/applications/quorvel-space-game.desktop";
    EXPECT_EQ(Text(entry),
        "[Desktop Entry]\nType=Application\nVersion=1.4\nName=Space Game\nExec=\"" + copy
            + "\"\nIcon=quorvel-space-game\nStartupWMClass=quorvel-space-game\nTerminal=false\n");
    if (HasProgram("desktop-file-validate")) {
        CommandResult valid = RunCommand("desktop-file-validate " + ShellQuote(entry));
        EXPECT_EQ(valid.status, 0) << valid.out << valid.err;
        EXPECT_EQ(valid.out + valid.err, "");
    }

    // The 40 x 20 icon, centred on a square: transparent above and below.
    for (int size : s_sizes) {
        std::string square = std::to_string(size) + "x" + std::to_string(size);
        platform::PixbufPtr icon
            = Decode(prefix / ("share/icons/hicolor/" + square + "/apps/quorvel-space-game.png"));
        ASSERT_TRUE(icon) << square;
        EXPECT_EQ(gdk_pixbuf_get_width(icon.get()), size);
        EXPECT_EQ(gdk_pixbuf_get_height(icon.get()), size);
        ASSERT_TRUE(gdk_pixbuf_get_has_alpha(icon.get()));
        EXPECT_EQ(AlphaAt(icon.get(), size / 2, 0), 0) << square;
        EXPECT_EQ(AlphaAt(icon.get(), size / 2, size / 2), 255) << square;
    }

    std::set<std::string> installed = Tree(prefix);
    ASSERT_EQ(Pack("install " + ShellQuote(game) + " --prefix=" + ShellQuote(prefix)).status, 0);
    EXPECT_EQ(Tree(prefix), installed);

    CommandResult uninstall = Pack("uninstall " + ShellQuote(game) + " --prefix " + ShellQuote(prefix));
    EXPECT_EQ(uninstall.status, 0) << uninstall.err;
    EXPECT_EQ(Tree(prefix), std::set<std::string> {});
    EXPECT_TRUE(fs::exists(game));
}

// Without --prefix: ~/.local/bin and the data home; Quorvel's title and icon
// for a package that has none of its own. A package rebuilt under another id
// replaces the entry of the one it replaces.
TEST_F(InstallFixture, DefaultPlacesFollowHomeAndTheDataHome)
{
    std::string environment
        = "HOME=" + ShellQuote(scratch / "home") + " XDG_DATA_HOME=" + ShellQuote(scratch / "data");
    ASSERT_EQ(Build("--id first").status, 0);
    CommandResult install = Pack("install " + ShellQuote(game), environment);
    ASSERT_EQ(install.status, 0) << install.err;
    EXPECT_TRUE(fs::exists(scratch / "home/.local/bin/game"));
    std::string entry = Text(scratch / "data/applications/quorvel-first.desktop");
    EXPECT_NE(entry.find("\nName=Quorvel\n"), std::string::npos) << entry;
    platform::PixbufPtr icon = Decode(scratch / "data/icons/hicolor/48x48/apps/quorvel-first.png");
    ASSERT_TRUE(icon);
    EXPECT_EQ(gdk_pixbuf_get_width(icon.get()), 48);

    ASSERT_EQ(Build("--id second").status, 0);
    ASSERT_EQ(Pack("install " + ShellQuote(game), environment).status, 0);
    EXPECT_EQ(Tree(scratch / "data/applications"), std::set<std::string> { "quorvel-second.desktop" });
    EXPECT_FALSE(fs::exists(scratch / "data/icons/hicolor/48x48/apps/quorvel-first.png"));

    ASSERT_EQ(Pack("uninstall " + ShellQuote(game), environment).status, 0);
    EXPECT_FALSE(fs::exists(scratch / "home/.local/bin/game"));
    EXPECT_FALSE(fs::exists(scratch / "data/applications"));
    EXPECT_TRUE(fs::exists(scratch / "data"));
}

TEST_F(InstallFixture, RefusesWhatIsNotAPackagedPlayerAndWritesNothing)
{
    for (const std::string& player :
        { scratch / "intro.swf", scratch / "missing", std::string(QUORVEL_BINARY_DIR "/quorvel-player") }) {
        CommandResult install = Pack("install " + ShellQuote(player) + " --prefix " + ShellQuote(prefix));
        EXPECT_EQ(install.status, 2) << player;
        EXPECT_EQ(install.out, "");
        EXPECT_TRUE(install.err.starts_with("error: ")) << install.err;
        EXPECT_EQ(std::count(install.err.begin(), install.err.end(), '\n'), 1) << install.err;
        EXPECT_FALSE(fs::exists(prefix)) << player;
    }
}
