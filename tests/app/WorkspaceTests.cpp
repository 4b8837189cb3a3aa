// The workspace folder: where it is, and how it is emptied.

#include "app/Workspace.h"
#include "platform/FileSystem.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& path)
{
    std::ofstream(path) << "x";
}

void FillNested(const fs::path& root)
{
    fs::create_directories(root / "a" / "b" / "c");
    Touch(root / "top.swf");
    Touch(root / "a" / "one");
    Touch(root / "a" / "b" / "two");
    Touch(root / "a" / "b" / "c" / "three");
}

TEST(DeleteFolderContents, EmptiesNestedFoldersWithOrWithoutTrailingSeparator)
{
    for (const char* suffix : { "", "\\", "/" }) {
        ScratchFolder scratch;
        fs::path root = scratch.path() / "KJ";
        fs::create_directory(root);
        FillNested(root);
        DeleteFolderContents(root.string() + suffix);
        EXPECT_TRUE(fs::exists(root)) << suffix;
        EXPECT_TRUE(fs::is_empty(root)) << suffix;
    }
}

TEST(DeleteFolderContents, MissingFolderAndEmptyPathDoNothing)
{
    ScratchFolder scratch;
    DeleteFolderContents((scratch.path() / "absent").string());
    EXPECT_FALSE(fs::exists(scratch.path() / "absent"));
    // An empty path must not be taken for the root folder.
    Touch(scratch.path() / "keep");
    fs::path saved = fs::current_path();
    fs::current_path(scratch.path());
    DeleteFolderContents("");
    fs::current_path(saved);
    EXPECT_TRUE(fs::exists(scratch.path() / "keep"));
}

TEST(DeleteFolderContents, LinksAreDeletedAsLinksAndTheirTargetsSurvive)
{
    ScratchFolder scratch;
    fs::path root = scratch.path() / "KJ";
    fs::path outside = scratch.path() / "outside";
    fs::create_directories(root);
    fs::create_directories(outside);
    Touch(outside / "precious");
    fs::create_directory_symlink(outside, root / "linked-folder");
    fs::create_symlink(outside / "precious", root / "linked-file");
    DeleteFolderContents(root.string());
    EXPECT_TRUE(fs::is_empty(root));
    EXPECT_TRUE(fs::exists(outside / "precious"));
}

TEST(DeleteFolderContents, ReadOnlyFoldersFromThePackageAreStillEmptied)
{
    ScratchFolder scratch;
    fs::path root = scratch.path() / "KJ";
    fs::create_directories(root / "locked");
    Touch(root / "locked" / "inner");
    // A folder entry's 0555 is applied with the owner's rwx kept.
    EXPECT_TRUE(platform::SetFileAttributes((root / "locked").c_str(), 0x416D0010));
    DeleteFolderContents(root.string());
    EXPECT_TRUE(fs::is_empty(root));
}

// Root deletes anything, so as root the emptying runs in a child that has
// become an ordinary user owning the tree.
void DeleteFolderContentsAsUser(const fs::path& scratch, const fs::path& root)
{
    if (::geteuid() != 0) {
        DeleteFolderContents(root.string());
        return;
    }
    constexpr uid_t Nobody = 65534;
    for (const auto& entry : fs::recursive_directory_iterator(scratch))
        ASSERT_EQ(::lchown(entry.path().c_str(), Nobody, Nobody), 0);
    ASSERT_EQ(::chown(scratch.c_str(), Nobody, Nobody), 0);
    pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        if (::setgid(Nobody) != 0 || ::setuid(Nobody) != 0)
            ::_exit(3);
        DeleteFolderContents(root.string());
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST(DeleteFolderContents, AnUndeletableFileKeepsItsParentsOnly)
{
    ScratchFolder scratch;
    fs::path root = scratch.path() / "KJ";
    FillNested(root);
    fs::create_directories(root / "stuck");
    Touch(root / "stuck" / "file");
    fs::permissions(root / "stuck", fs::perms::owner_read | fs::perms::owner_exec);
    DeleteFolderContentsAsUser(scratch.path(), root);
    fs::permissions(root / "stuck", fs::perms::owner_all);
    EXPECT_TRUE(fs::exists(root / "stuck" / "file"));
    EXPECT_FALSE(fs::exists(root / "a"));
    EXPECT_FALSE(fs::exists(root / "top.swf"));
}

// The temporary folder is decided in a child so that the environment of
// this process stays as it was.
std::string TempPathIn(const std::string& tmpdir)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return "pipe failed";
    pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        ::setenv("TMPDIR", tmpdir.c_str(), 1);
        std::string path = FormWorkspacePath();
        (void)!::write(pipeEnds[1], path.data(), path.size());
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string result;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        result.append(buffer, size_t(n));
    ::close(pipeEnds[0]);
    ::waitpid(child, nullptr, 0);
    return result;
}

TEST(Workspace, LivesInAPrivateFolderOfTheUser)
{
    ScratchFolder scratch;
    std::string expected = scratch / ("quorvel-" + std::to_string(::getuid()));
    EXPECT_EQ(TempPathIn(scratch.path().string()), expected + "/KJ");
    struct stat st { };
    ASSERT_EQ(::lstat(expected.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(Workspace, RefusesAPlantedLinkOrAnOpenFolder)
{
    ScratchFolder scratch;
    std::string usual = scratch / ("quorvel-" + std::to_string(::getuid()));
    fs::create_directory(scratch.path() / "attacker");
    fs::create_directory_symlink(scratch.path() / "attacker", usual);
    std::string chosen = TempPathIn(scratch.path().string());
    EXPECT_NE(chosen, usual + "/KJ");
    EXPECT_EQ(chosen.rfind(usual + "-", 0), 0u) << chosen;
    EXPECT_TRUE(fs::is_empty(scratch.path() / "attacker"));

    ScratchFolder open;
    std::string shared = open / ("quorvel-" + std::to_string(::getuid()));
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::all);
    EXPECT_NE(TempPathIn(open.path().string()), shared + "/KJ");
}

} // namespace
