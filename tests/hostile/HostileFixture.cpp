#include "HostileFixture.h"

#include "app/OpenedFile.h"
#include "platform/ProfileString.h"
#include "res/BuiltInResources.h"
#include "support/Command.h"
#include "support/PackagedModule.h"
#include "support/RecordingPresenter.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace {

class CRecordingRunner final : public IPlayerRunner {
public:
    explicit CRecordingRunner(StartupOutcome& outcome, const std::function<void(CPlayerApp&)>& duringPlay)
        : m_outcome(outcome)
        , m_duringPlay(duringPlay)
    {
    }
    void RunPlayer(CPlayerApp& app) override
    {
        ++m_outcome.runs;
        m_outcome.workspace = SnapshotTree(fs::current_path());
        if (m_duringPlay)
            m_duringPlay(app);
    }

private:
    StartupOutcome& m_outcome;
    const std::function<void(CPlayerApp&)>& m_duringPlay;
};

// Lists what was added, removed or changed between two snapshots.
std::string Differences(const TreeSnapshot& before, const TreeSnapshot& after)
{
    std::string text;
    for (const auto& [path, state] : before) {
        auto found = after.find(path);
        if (found == after.end())
            text += "removed " + path + "\n";
        else if (!(found->second == state))
            text += "changed " + path + "\n";
    }
    for (const auto& [path, state] : after) {
        if (!before.count(path))
            text += "added " + path + "\n";
    }
    return text;
}

void ExpectNoLinks(const TreeSnapshot& tree, const char* where)
{
    for (const auto& [path, state] : tree)
        EXPECT_FALSE(S_ISLNK(state.mode)) << where << ": " << path << " is a link to " << state.content;
}

} // namespace

TreeSnapshot SnapshotTree(const fs::path& root, const fs::path& skip)
{
    TreeSnapshot tree;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
        struct stat st { };
        if (::lstat(it->path().c_str(), &st) != 0)
            continue;
        PathState state;
        state.mode = st.st_mode;
        if (S_ISREG(st.st_mode)) {
            state.size = st.st_size;
            if (st.st_size <= 4096) {
                std::ifstream in(it->path(), std::ios::binary);
                state.content.assign(std::istreambuf_iterator<char>(in), {});
            }
        } else if (S_ISLNK(st.st_mode)) {
            state.content = fs::read_symlink(it->path(), error).string();
        }
        tree[fs::relative(it->path(), root).string()] = state;
        if (!skip.empty() && it->path() == skip)
            it.disable_recursion_pending();
    }
    return tree;
}

void AddOrdinaryFiles(TestArchive& archive)
{
    archive.Add("package.ini", ToBytes("[SETTINGS]\r\nfullscreen=false\r\nmainmovie=logo.swf\r\n"));
    archive.Add("logo.swf",
        ToBytes("FWS\x06\x15\x00\x00\x00\x50\x00\x05\xdc\x00\x00\x0f\xa0\x00\x00\x0c\x01\x00"), 8);
}

void HostileTest::SetUp()
{
    m_tmp = m_root.path() / "tmp";
    m_outside = m_root.path() / "outside";
    m_module = m_root.path() / "module";
    for (const auto& folder : { m_tmp, m_outside, m_module })
        fs::create_directories(folder);
    WriteFileBytes(m_outside / "canary", ToBytes("the user's own file"));

    const char* tmpdir = std::getenv("TMPDIR");
    m_hadTmpdir = tmpdir != nullptr;
    m_savedTmpdir = tmpdir ? tmpdir : "";
    setenv("TMPDIR", m_tmp.c_str(), 1);
    m_savedCwd = fs::current_path();
    RegisterBuiltInResources();
}

void HostileTest::TearDown()
{
    fs::current_path(m_savedCwd);
    if (m_hadTmpdir)
        setenv("TMPDIR", m_savedTmpdir.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

StartupOutcome HostileTest::RunStartup(const Bytes& zip, const std::function<void(CPlayerApp&)>& duringPlay)
{
    fs::path player = m_module / "player";
    WritePackagedModule(player, &zip);
    platform::CModule image;
    EXPECT_TRUE(image.Open(player.c_str()));
    StartupOutcome outcome = RunChecked([&](CPlayerApp& app) { app.SetResourceModule(&image); }, duringPlay);

    StartupOutcome opened = RunOpened(zip);
    EXPECT_EQ(opened.runs, outcome.runs);
    EXPECT_EQ(opened.exitCode, outcome.exitCode);
    EXPECT_EQ(opened.messages.size(), outcome.messages.size());
    return outcome;
}

StartupOutcome HostileTest::RunOpened(const Bytes& zip, const std::function<void(CPlayerApp&)>& duringPlay)
{
    fs::path file = m_module / "package.zip";
    WriteFileBytes(file, zip);
    COpenedFile opened;
    std::string error;
    if (!opened.Open(file.string(), error)) {
        StartupOutcome refused;
        refused.exitCode = ExitPackageUnusable;
        refused.messages.push_back(error);
        return refused;
    }
    return RunChecked([&](CPlayerApp& app) { app.SetOpenedFile(&opened); }, duringPlay);
}

StartupOutcome HostileTest::RunChecked(
    const std::function<void(CPlayerApp&)>& source, const std::function<void(CPlayerApp&)>& duringPlay)
{
    StartupOutcome outcome;
    TreeSnapshot before = SnapshotTree(m_root.path(), Workspace());

    CRecordingPresenter presenter;
    IMessageBoxPresenter* previous = SetMessageBoxPresenter(&presenter);
    CRecordingRunner runner(outcome, duringPlay);
    {
        CPlayerApp app;
        source(app);
        app.SetPlayerRunner(&runner);
        EXPECT_FALSE(app.InitInstance());
        outcome.exitCode = app.ExitInstance();
        outcome.workspacePath = app.m_strWorkspace;
    }
    SetMessageBoxPresenter(previous);
    fs::current_path(m_savedCwd);
    outcome.messages = presenter.m_texts;

    std::error_code error;
    outcome.workspaceEmptyAfter
        = fs::is_directory(outcome.workspacePath, error) && fs::is_empty(outcome.workspacePath, error);
    // A name planted where the workspace should be is not a workspace to empty.
    bool planted
        = fs::is_symlink(outcome.workspacePath, error) || fs::is_regular_file(outcome.workspacePath, error);
    if (!planted) {
        EXPECT_TRUE(outcome.workspaceEmptyAfter) << outcome.workspacePath;
    }
    ExpectNoLinks(outcome.workspace, "workspace");

    // Outside the workspace only the workspace folder and its parent may have
    // come into being; nothing else may appear, go or change.
    TreeSnapshot after = SnapshotTree(m_root.path(), outcome.workspacePath);
    fs::path workspace = fs::relative(outcome.workspacePath, m_root.path(), error);
    for (const auto& made : { workspace, workspace.parent_path() }) {
        if (!before.count(made.string()))
            after.erase(made.string());
    }
    EXPECT_EQ(Differences(before, after), "");
    return outcome;
}

ExtractOutcome HostileTest::RunExtract(const Bytes& zip)
{
    fs::path player = m_module / "player";
    WritePackagedModule(player, &zip);
    fs::path target = m_root.path() / "extracted";
    fs::remove_all(target);
    fs::create_directories(target);
    TreeSnapshot before = SnapshotTree(m_root.path(), target);

    auto result = RunCommand(std::string(QUORVEL_BINARY_DIR "/quorvel-pack extract ") + ShellQuote(player)
        + " " + ShellQuote(target));
    ExtractOutcome outcome;
    outcome.status = result.status;
    outcome.err = result.err;
    outcome.files = SnapshotTree(target);
    ExpectNoLinks(outcome.files, "extracted");
    EXPECT_EQ(Differences(before, SnapshotTree(m_root.path(), target)), "");
    // A run that failed says why.
    if (outcome.status != 0) {
        EXPECT_FALSE(outcome.err.empty());
    }
    return outcome;
}

void HostileTest::ExpectPlayed(const StartupOutcome& outcome)
{
    EXPECT_EQ(outcome.runs, 1);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_TRUE(outcome.messages.empty()) << (outcome.messages.empty() ? "" : outcome.messages[0]);
}

void HostileTest::ExpectRefusedWithMessage(const StartupOutcome& outcome)
{
    EXPECT_EQ(outcome.runs, 0);
    EXPECT_EQ(outcome.exitCode, ExitPackageUnusable);
    ASSERT_EQ(outcome.messages.size(), 1u);
    EXPECT_FALSE(outcome.messages[0].empty());
}
