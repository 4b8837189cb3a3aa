// The saved-data folder of a package: where it lies and which id names it.

#include "app/PackageSettings.h"
#include "app/SavedData.h"
#include "support/Command.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace {

// Sets an environment variable for one test and puts it back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old {};
};

std::string SelfExecutable()
{
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

} // namespace

TEST(SavedData, LiesUnderTheDataHomeAsTheClassRegistryDoes)
{
    ScratchFolder scratch;
    std::string home = scratch / "home";
    ScopedEnv homeEnv("HOME", home.c_str());
    {
        ScopedEnv xdg("XDG_DATA_HOME", (scratch / "data").c_str());
        EXPECT_EQ(SavedDataFolder("game-1"), scratch / "data/quorvel/saved/game-1");
    }
    // A relative or empty XDG_DATA_HOME is not used.
    for (const char* xdg : { "relative/data", "", static_cast<const char*>(nullptr) }) {
        ScopedEnv env("XDG_DATA_HOME", xdg);
        EXPECT_EQ(SavedDataFolder("0123456789abcdef0123456789abcdef"),
            home + "/.local/share/quorvel/saved/0123456789abcdef0123456789abcdef")
            << (xdg ? xdg : "unset");
    }
    // Nothing is made: the control makes the folder when a movie first saves.
    EXPECT_FALSE(std::filesystem::exists(home));
    // Without an absolute home there is no data folder, and nothing is
    // saved: never a folder below the current one or at the root.
    ScopedEnv relativeHome("HOME", "relative/home");
    ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(SavedDataFolder("game-1"), "");
}

TEST(SavedData, AMissingOrMalformedIdFallsBackToTheExecutablesOwn)
{
    ScopedEnv xdg("XDG_DATA_HOME", "/data");
    const std::string fallback = "/data/quorvel/saved/" + ExecutablePackageId(SelfExecutable());
    for (const char* id : { "", "..", "../escape", "a/b", "a b", "é", "id=x", "a\\b" })
        EXPECT_EQ(SavedDataFolder(id), fallback) << id;
    EXPECT_EQ(SavedDataFolder(std::string(65, 'x')), fallback);
    EXPECT_EQ(SavedDataFolder(std::string(64, 'x')), "/data/quorvel/saved/" + std::string(64, 'x'));
    EXPECT_EQ(SavedDataFolder("A-z_09"), "/data/quorvel/saved/A-z_09");
}

TEST(SavedData, ExecutableIdsAreTheFnv1aHashOfThePath)
{
    // FNV-1a (64 bits) of the empty text is the offset basis.
    EXPECT_EQ(ExecutablePackageId(""), "exe-cbf29ce484222325");
    EXPECT_EQ(ExecutablePackageId("a"), "exe-af63dc4c8601ec8c");
    CString one = ExecutablePackageId("/opt/games/one");
    EXPECT_EQ(one, ExecutablePackageId("/opt/games/one"));
    EXPECT_NE(one, ExecutablePackageId("/opt/games/one2"));
    EXPECT_NE(one, ExecutablePackageId("/opt/games/onf"));
    EXPECT_TRUE(IsValidPackageId(one));
    EXPECT_EQ(one.size(), 4u + 16u);
}

TEST(SavedData, TheSettingsCarryThePackagesId)
{
    ScratchFolder scratch;
    const std::string text = "[SETTINGS]\r\nmainmovie=a.swf\r\nid = \"my-game\" \r\n";
    WriteFileBytes(scratch / "package.ini", std::vector<unsigned char>(text.begin(), text.end()));
    EXPECT_EQ(CPackageSettings::Read(scratch.path().string()).m_strId, "my-game");
    EXPECT_EQ(CPackageSettings::Read("/nonexistent/folder").m_strId, "");
}
