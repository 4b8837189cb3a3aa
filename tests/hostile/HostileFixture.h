#pragma once

// Runs start-up (and quorvel-pack extract) against packages built to do harm,
// and checks what every such run must keep to: no crash, nothing written or
// changed outside the workspace, no link made or followed, the workspace
// empty at the end, and a message whenever the package cannot be used.

#include "app/PlayerApp.h"
#include "platform/MessageBox.h"
#include "support/ArchiveBuilder.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

// What lstat says about one path, and a file's bytes when they are few.
struct PathState {
    unsigned mode { 0 };
    unsigned long long size { 0 };
    std::string content {}; // a link's target, or a small file's bytes

    bool operator==(const PathState&) const = default;
};
using TreeSnapshot = std::map<std::string, PathState>;

// Every path under `root`, links not followed; the contents of `skip` are left out.
TreeSnapshot SnapshotTree(const fs::path& root, const fs::path& skip = {});

struct StartupOutcome {
    int exitCode { -1 };
    std::vector<CString> messages {};
    int runs { 0 };
    // The workspace while the player ran, by relative path.
    TreeSnapshot workspace {};
    fs::path workspacePath {};
    bool workspaceEmptyAfter { false };
};

struct ExtractOutcome {
    int status { -1 };
    std::string err {};
    TreeSnapshot files {};
};

class HostileTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs start-up on a player carrying `zip`, checks the rules every run
    // keeps, and says what happened. `duringPlay` runs where the player would.
    // The same package opened as a file (`quorvel FILE`) is run too, under
    // the same rules, and must be played or refused as the player was.
    StartupOutcome RunStartup(const Bytes& zip, const std::function<void(CPlayerApp&)>& duringPlay = {});
    // Start-up on `zip` written as a file and opened as `quorvel FILE` opens
    // it; a file the opener refuses outright counts as refused with its one
    // message.
    StartupOutcome RunOpened(const Bytes& zip, const std::function<void(CPlayerApp&)>& duringPlay = {});
    // quorvel-pack extract of the same package into a fresh folder.
    ExtractOutcome RunExtract(const Bytes& zip);

    // Either the player ran with no message, or it did not and the user was told.
    static void ExpectPlayed(const StartupOutcome& outcome);
    static void ExpectRefusedWithMessage(const StartupOutcome& outcome);

    fs::path Workspace() const { return m_tmp / ("quorvel-" + std::to_string(::getuid())) / "KJ"; }

    ScratchFolder m_root {};
    fs::path m_tmp {};
    fs::path m_outside {};
    fs::path m_module {};

private:
    // Start-up of an application that `source` has told where its package
    // is, with the rules every run keeps checked.
    StartupOutcome RunChecked(
        const std::function<void(CPlayerApp&)>& source, const std::function<void(CPlayerApp&)>& duringPlay);

    std::string m_savedTmpdir {};
    bool m_hadTmpdir { false };
    fs::path m_savedCwd {};
};

// An ordinary settings file and movie, so that a package is usable apart
// from whatever a test adds.
void AddOrdinaryFiles(TestArchive& archive);
