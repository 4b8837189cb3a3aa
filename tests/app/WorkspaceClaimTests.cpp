// Workspaces of players running side by side: who gets which, what a
// crashed run leaves, and the control's file written under unique names.

#include "app/Workspace.h"
#include "app/WorkspaceGuard.h"
#include "platform/ErrorCodes.h"
#include "platform/LastError.h"
#include "res/ResourceIds.h"
#include "support/Command.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& path, const std::string& text = "x")
{
    WriteFileBytes(path.string(), { text.begin(), text.end() });
}

TEST(ClaimWorkspace, TheFirstTakesTheUsualNameTheNextAFreeSibling)
{
    ScratchFolder scratch;
    CString base = scratch / "KJ";
    CWorkspaceLock first, second, third;
    EXPECT_EQ(ClaimWorkspace(base, first), base);
    EXPECT_EQ(ClaimWorkspace(base, second), base + "-2");
    // A sibling name taken by a link is passed over, never used.
    fs::create_directory_symlink(scratch.path(), base + "-3");
    EXPECT_EQ(ClaimWorkspace(base, third), base + "-4");
    // The usual name, once free, is the first choice again.
    first.Release();
    CWorkspaceLock fourth;
    EXPECT_EQ(ClaimWorkspace(base, fourth), base);
    EXPECT_TRUE(fs::is_symlink(base + "-3"));
}

TEST(ClaimWorkspace, WhatAKilledRunLeftIsEmptiedButALiveOnesFilesAreNot)
{
    ScratchFolder scratch;
    CString base = scratch / "KJ";
    fs::create_directories(fs::path(base) / "deep");
    Touch(fs::path(base) / "deep" / "movie.swf");
    // A live player holds -2; a killed one left -3 and -5.
    CWorkspaceLock live;
    fs::create_directory(base + "-2");
    ASSERT_EQ(live.Acquire(base + "-2"), CWorkspaceLock::Outcome::Locked);
    Touch(fs::path(base + "-2") / "playing.swf");
    for (const char* stale : { "-3", "-5" }) {
        fs::create_directories(fs::path(base + stale) / "sub");
        Touch(fs::path(base + stale) / "sub" / "decrypted.swf");
    }

    CWorkspaceLock mine;
    EXPECT_EQ(ClaimWorkspace(base, mine), base);
    EXPECT_TRUE(fs::is_empty(base));
    SweepStaleWorkspaces(base, base);
    EXPECT_TRUE(fs::exists(fs::path(base + "-2") / "playing.swf"));
    EXPECT_FALSE(fs::exists(base + "-3"));
    EXPECT_FALSE(fs::exists(base + "-5"));
}

TEST(ClaimWorkspace, ALockIsNotInheritedByTheProgramsARunStarts)
{
    ScratchFolder scratch;
    CString base = scratch / "KJ";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        CWorkspaceLock lock;
        char claimed = ClaimWorkspace(base, lock) == base ? 'y' : 'n';
        if (::write(ready[1], &claimed, 1) != 1)
            ::_exit(2);
        ::execl("/bin/sleep", "sleep", "30", nullptr);
        ::_exit(2);
    }
    ::close(ready[1]);
    char claimed = 0;
    ASSERT_EQ(::read(ready[0], &claimed, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(claimed, 'y');
    // Once the child is sleep, nobody holds the workspace although the
    // process lives on.
    bool free = false;
    for (int i = 0; i < 300 && !free; ++i) {
        CWorkspaceLock probe;
        free = ClaimWorkspace(base, probe) == base;
        if (!free)
            ::usleep(10000);
    }
    EXPECT_TRUE(free);
    EXPECT_EQ(::waitpid(child, nullptr, WNOHANG), 0);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

TEST(ClaimWorkspace, APlantedUsualNameIsRefused)
{
    ScratchFolder scratch;
    CString base = scratch / "KJ";
    Touch(base);
    CWorkspaceLock lock;
    EXPECT_EQ(ClaimWorkspace(base, lock), "");
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_ACCESS_DENIED);
    EXPECT_FALSE(lock.IsHeld());
}

// The guard's watch over a pipe whose writer has gone already (the player
// ended): it empties what nobody holds, and never a workspace that another
// player took under the same name once this one was gone.
TEST(WorkspaceGuard, EmptiesAWorkspaceNobodyHoldsAndLeavesAHeldOneAlone)
{
    ScratchFolder scratch;
    CString base = scratch / "KJ";
    auto guard = [&](const CString& workspace) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ::close(ends[1]);
        GuardWorkspace(ends[0], 0, workspace, base);
    };
    for (const CString& name : { base, base + "-2" }) {
        fs::create_directories(fs::path(name) / "deep");
        Touch(fs::path(name) / "deep" / "movie.swf");
        CWorkspaceLock other;
        ASSERT_EQ(other.Acquire(name), CWorkspaceLock::Outcome::Locked);
        guard(name);
        EXPECT_TRUE(fs::exists(fs::path(name) / "deep" / "movie.swf")) << name;
        other.Release();
        guard(name);
    }
    // The usual name stays, empty; a sibling goes.
    EXPECT_TRUE(fs::is_empty(base));
    EXPECT_FALSE(fs::exists(base + "-2"));
    // The guard's arguments are its own.
    char program[] = "player", watch[] = "--guard-workspace", other[] = "--other";
    char* none[] = { program, other, nullptr };
    char* short_[] = { program, watch, nullptr };
    EXPECT_EQ(RunWorkspaceGuard(2, none), -1);
    EXPECT_EQ(RunWorkspaceGuard(2, short_), 2);
}

TEST(WriteResourceToFileUnique, LeavesOnlyTheWholeFileAndNeverWritesOutsideItsFolder)
{
    platform::CModule module;
    ScratchFolder bin;
    ScratchFolder scratch;
    fs::path target = scratch.path() / "flash8.ocx";
    // A stale temporary name of an earlier writer changes nothing.
    Touch(target.string() + "." + std::to_string(::getpid()) + "-0-00000000.new", "stale");
    std::vector<unsigned char> image(64, 0x5A);
    WriteFileBytes(bin / "player", image);
    ASSERT_TRUE(module.Open((bin / "player").c_str()));
    platform::CModule::SetBuiltIn({ { platform::ResourceName(RT_FLASH_CONTROL), IDR_FLASH_CONTROL, 0,
        std::span<const BYTE>(image.data(), image.size()) } });
    for (int round = 0; round < 3; ++round)
        EXPECT_TRUE(WriteResourceToFile(IDR_FLASH_CONTROL, RT_FLASH_CONTROL, target.c_str(), &module));
    EXPECT_EQ(ReadFileBytes(target.string()), image);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(scratch.path()))
        ++entries;
    EXPECT_EQ(entries, 2); // the file and the stale name, nothing of ours
    // A folder that cannot be written: FALSE with the reason, nothing made.
    EXPECT_FALSE(WriteResourceToFile(
        IDR_FLASH_CONTROL, RT_FLASH_CONTROL, (scratch / "missing/flash8.ocx").c_str(), &module));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_PATH_NOT_FOUND);
    platform::CModule::SetBuiltIn({});
}

} // namespace
