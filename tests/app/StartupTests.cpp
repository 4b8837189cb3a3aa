// Start-up and exit of the application against packages built here.

#include "app/PlayerApp.h"
#include "app/Workspace.h"
#include "platform/MessageBox.h"
#include "res/BuiltInResources.h"
#include "support/ArchiveBuilder.h"
#include "support/Command.h"
#include "support/PackagedModule.h"
#include "support/RecordingPresenter.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

// Remembers what the workspace held while the player "ran".
class CRecordingRunner final : public IPlayerRunner {
public:
    void RunPlayer(CPlayerApp& app) override
    {
        ++m_nRuns;
        m_strCurrentFolder = fs::current_path().string();
        for (const auto& entry : fs::recursive_directory_iterator(fs::current_path()))
            m_files.insert(fs::relative(entry.path(), fs::current_path()).string());
        m_arrMovies = app.m_arrMovies;
    }
    int m_nRuns { 0 };
    std::string m_strCurrentFolder {};
    std::set<std::string> m_files {};
    CStringArray m_arrMovies {};
};

// Says the control cannot run here, as the check does without the engine.
class CMissingEngineInstaller final : public IControlInstaller {
public:
    bool EnsureFlashControl() override { return false; }
};

// Notes what it was asked to watch, and whether anything was unpacked yet.
class CRecordingGuard final : public IWorkspaceGuard {
public:
    void Watch(const std::string& workspace, const std::string& base) override
    {
        m_watched.push_back({ workspace, base });
        m_bEmptyThen = fs::is_empty(workspace);
    }
    std::vector<std::pair<std::string, std::string>> m_watched {};
    bool m_bEmptyThen { false };
};

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tmpdir = std::getenv("TMPDIR");
        m_savedTmpdir = tmpdir ? tmpdir : "";
        setenv("TMPDIR", m_tmp.path().c_str(), 1);
        m_saved = fs::current_path();
        m_previous = SetMessageBoxPresenter(&m_presenter);
        m_app.SetPlayerRunner(&m_runner);
        RegisterBuiltInResources();
    }
    void TearDown() override
    {
        SetMessageBoxPresenter(m_previous);
        fs::current_path(m_saved);
        if (m_savedTmpdir.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", m_savedTmpdir.c_str(), 1);
    }

    int Run(const std::vector<unsigned char>* zip)
    {
        WritePackagedModule(m_module / "player", zip);
        EXPECT_TRUE(m_image.Open((m_module / "player").c_str()));
        m_app.SetResourceModule(&m_image);
        EXPECT_FALSE(m_app.InitInstance());
        return m_app.ExitInstance();
    }

    bool WorkspaceIsEmpty() const
    {
        return fs::exists(m_app.m_strWorkspace) && fs::is_empty(m_app.m_strWorkspace);
    }

    std::string m_savedTmpdir {};
    ScratchFolder m_tmp {};
    ScratchFolder m_module {};
    fs::path m_saved {};
    CRecordingPresenter m_presenter {};
    IMessageBoxPresenter* m_previous { nullptr };
    CRecordingRunner m_runner {};
    platform::CModule m_image {};
    CPlayerApp m_app {};
};

TEST_F(StartupTest, ListsMoviesByTheirLastThreeLettersAndUnpacksBareNames)
{
    auto zip = MakeZip({
        { "intro.swf", "a" },
        { "Intro.SwF", "b" },
        { "INTRO.SWF", "c" },
        { "swf", "d" },
        { "intro.swf2", "e" },
        { "intro.sw", "f" },
        { "wf", "g" },
        { "intro.swf", "h" },
        { "movies/inner.swf", "i" },
        { "package.ini", "[SETTINGS]\r\nmainmovie=intro.swf\r\n" },
    });
    EXPECT_EQ(Run(&zip), 0);

    EXPECT_EQ(m_runner.m_nRuns, 1);
    EXPECT_EQ(m_runner.m_arrMovies,
        (CStringArray { "intro.swf", "Intro.SwF", "INTRO.SWF", "swf", "intro.swf", "inner.swf" }));
    // The stored folder is dropped on disk, and the list names the movie as
    // it is there, so play-all can load it.
    EXPECT_TRUE(m_runner.m_files.count("inner.swf"));
    EXPECT_FALSE(m_runner.m_files.count("movies"));
    EXPECT_TRUE(m_runner.m_files.count("intro.swf2"));
    EXPECT_EQ(fs::path(m_runner.m_strCurrentFolder), fs::path(m_app.m_strWorkspace));
    EXPECT_EQ(fs::path(m_app.m_strWorkspace).filename(), "KJ");
    EXPECT_TRUE(m_presenter.m_texts.empty());
    EXPECT_TRUE(WorkspaceIsEmpty());
}

TEST_F(StartupTest, TheGuardWatchesTheClaimedWorkspaceBeforeAnythingIsUnpacked)
{
    CRecordingGuard guard;
    m_app.SetWorkspaceGuard(&guard);
    auto zip = MakeZip({ { "a.swf", "a" }, { "b.swf", "b" } });
    EXPECT_EQ(Run(&zip), 0);
    m_app.SetWorkspaceGuard(nullptr);
    ASSERT_EQ(guard.m_watched.size(), 1u);
    EXPECT_EQ(guard.m_watched[0].first, m_app.m_strWorkspace);
    EXPECT_EQ(fs::path(guard.m_watched[0].second).filename(), "KJ");
    EXPECT_TRUE(guard.m_bEmptyThen);
    EXPECT_EQ(m_runner.m_nRuns, 1);
}

TEST_F(StartupTest, AControlThatCannotRunEndsWithItsOwnStatusBeforeUnpacking)
{
    // What a run that lost power left in the usual workspace.
    fs::path left = fs::path(FormWorkspacePath()) / "left.swf";
    fs::create_directories(left.parent_path());
    WriteFileBytes(left.string(), { 'x' });
    CMissingEngineInstaller installer;
    CRecordingGuard guard;
    m_app.SetControlInstaller(&installer);
    m_app.SetWorkspaceGuard(&guard);
    auto zip = MakeZip({ { "a.swf", "a" }, { "b.swf", "b" } });
    EXPECT_EQ(Run(&zip), ExitEngineMissing);
    m_app.SetControlInstaller(nullptr);
    m_app.SetWorkspaceGuard(nullptr);
    EXPECT_EQ(m_runner.m_nRuns, 0);
    EXPECT_TRUE(guard.m_watched.empty());
    EXPECT_TRUE(fs::is_empty(left.parent_path()));
}

TEST_F(StartupTest, FewerThanTwoFilesEndsSilently)
{
    auto one = MakeZip({ { "only.swf", "x" }, { "folder/", "" } });
    EXPECT_EQ(Run(&one), 0);
    EXPECT_EQ(m_runner.m_nRuns, 0);
    EXPECT_TRUE(m_presenter.m_texts.empty());
    EXPECT_TRUE(WorkspaceIsEmpty());
}

TEST_F(StartupTest, PackageWithFolderEntriesUnpacksEveryFile)
{
    auto zip = MakeZip(
        { { "docs/", "" }, { "docs/a.swf", "1" }, { "b/", "" }, { "b/c.txt", "2" }, { "package.ini", "" } });
    EXPECT_EQ(Run(&zip), 0);
    EXPECT_EQ(m_runner.m_nRuns, 1);
    for (const char* name : { "a.swf", "c.txt", "package.ini", "docs", "b" })
        EXPECT_TRUE(m_runner.m_files.count(name)) << name;
    EXPECT_TRUE(WorkspaceIsEmpty());
}

TEST_F(StartupTest, MissingPackageShowsTheSystemText)
{
    EXPECT_NE(Run(nullptr), 0);
    ASSERT_EQ(m_presenter.m_texts.size(), 1u);
    EXPECT_EQ(m_presenter.m_texts[0], "The specified resource type cannot be found in the image file.\r\n");
    EXPECT_EQ(m_presenter.m_types[0], 0u);
    EXPECT_EQ(m_runner.m_nRuns, 0);
    // The current folder was never changed.
    EXPECT_EQ(fs::current_path(), m_saved);
}

TEST_F(StartupTest, DamagedPackageEndsWithAMessageAndAnEmptyWorkspace)
{
    auto zip = MakeZip({ { "a.swf", std::string(100000, 'a') }, { "b.swf", std::string(100000, 'b') } });
    // Flip a byte inside the second entry's compressed data.
    auto damaged = zip;
    damaged[damaged.size() / 2 + 40] ^= 0x55;
    EXPECT_EQ(Run(&damaged), ExitPackageUnusable);
    ASSERT_EQ(m_presenter.m_texts.size(), 1u);
    EXPECT_FALSE(m_presenter.m_texts[0].empty());
    EXPECT_EQ(m_runner.m_nRuns, 0);
    EXPECT_TRUE(WorkspaceIsEmpty());
}

TEST_F(StartupTest, NotAnArchiveAtAll)
{
    std::vector<unsigned char> junk(5000, 0x42);
    EXPECT_EQ(Run(&junk), ExitPackageUnusable);
    ASSERT_EQ(m_presenter.m_texts.size(), 1u);
    EXPECT_EQ(m_presenter.m_texts[0].rfind("The central directory was not found", 0), 0u);
    EXPECT_TRUE(WorkspaceIsEmpty());
}

TEST_F(StartupTest, WrongPasswordIsReportedNotSilent)
{
    ScratchFolder source;
    WriteFileBytes(source / "a.swf", { 1, 2, 3 });
    WriteFileBytes(source / "b.swf", { 4, 5, 6 });
    auto made = RunCommand("cd " + ShellQuote(source.path()) + " && zip -q -P other p.zip a.swf b.swf");
    ASSERT_EQ(made.status, 0) << made.err;
    auto zip = ReadFileBytes(source / "p.zip");
    EXPECT_EQ(Run(&zip), ExitPackageUnusable);
    ASSERT_EQ(m_presenter.m_texts.size(), 1u);
    EXPECT_EQ(m_presenter.m_texts[0], "Incorrect password set for the file being decrypted");
    EXPECT_TRUE(WorkspaceIsEmpty());
}

} // namespace
