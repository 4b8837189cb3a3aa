// A disk that fills up while the package is unpacked, played by a file-size
// limit: every write past it fails with EFBIG (the signal it would raise is
// ignored, as a full disk raises none).

#include "HostileFixture.h"

#include "support/Command.h"
#include "support/PackagedModule.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr rlim_t FileSizeLimit = 256 * 1024;

struct ChildReport {
    int exitCode { -1 };
    int runs { 0 };
    int messages { 0 };
    char firstMessage[200] {};
};

class CCountingPresenter final : public IMessageBoxPresenter {
public:
    int Present(const CString& text, UINT) override
    {
        if (m_report.messages++ == 0)
            text.copy(m_report.firstMessage, sizeof m_report.firstMessage - 1);
        return IDOK;
    }
    ChildReport& m_report;
    explicit CCountingPresenter(ChildReport& report)
        : m_report(report)
    {
    }
};

class CCountingRunner final : public IPlayerRunner {
public:
    explicit CCountingRunner(ChildReport& report)
        : m_report(report)
    {
    }
    void RunPlayer(CPlayerApp&) override { ++m_report.runs; }
    ChildReport& m_report;
};

// Runs start-up on `player` in a child process under the file-size limit.
// False when the child did not end normally.
bool RunStartupUnderLimit(const fs::path& player, ChildReport& report)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return false;
    pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit { FileSizeLimit, RLIM_INFINITY };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ChildReport result;
        CCountingPresenter presenter(result);
        CCountingRunner runner(result);
        SetMessageBoxPresenter(&presenter);
        platform::CModule image;
        if (image.Open(player.c_str())) {
            CPlayerApp app;
            app.SetResourceModule(&image);
            app.SetPlayerRunner(&runner);
            app.InitInstance();
            result.exitCode = app.ExitInstance();
        }
        ssize_t written = ::write(channel[1], &result, sizeof result);
        ::_exit(written == ssize_t(sizeof result) ? 0 : 1);
    }
    ::close(channel[1]);
    ssize_t got = ::read(channel[0], &report, sizeof report);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return got == ssize_t(sizeof report) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(HostileTest, DiskFullWhileUnpacking)
{
    TestArchive archive;
    AddOrdinaryFiles(archive);
    archive.Add("fits.swf", NoiseBytes(FileSizeLimit / 2, 1), 8);
    archive.Add("too-big.swf", NoiseBytes(FileSizeLimit * 4, 2), 8);
    archive.Add("after.swf", ToBytes("never reached"));
    Bytes zip = archive.Build();
    fs::path player = m_module / "player";
    WritePackagedModule(player, &zip);
    TreeSnapshot before = SnapshotTree(m_root.path(), Workspace());

    ChildReport report;
    ASSERT_TRUE(RunStartupUnderLimit(player, report)) << "start-up did not end normally";
    EXPECT_EQ(report.runs, 0);
    EXPECT_EQ(report.exitCode, ExitPackageUnusable);
    EXPECT_EQ(report.messages, 1);
    EXPECT_STRNE(report.firstMessage, "");
    EXPECT_TRUE(fs::is_empty(Workspace()));
    TreeSnapshot after = SnapshotTree(m_root.path(), Workspace());
    for (const auto& made : { Workspace(), Workspace().parent_path() })
        after.erase(fs::relative(made, m_root.path()).string());
    EXPECT_EQ(after, before);

    // quorvel-pack extract under the same limit reports the failure and
    // leaves no partial file behind.
    fs::path target = m_root.path() / "extracted";
    fs::create_directories(target);
    auto result = RunCommand("trap '' XFSZ; ulimit -f " + std::to_string(FileSizeLimit / 1024) + "; exec "
        + QUORVEL_BINARY_DIR "/quorvel-pack extract " + ShellQuote(player) + " " + ShellQuote(target));
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_FALSE(result.err.empty());
    EXPECT_FALSE(fs::exists(target / "too-big.swf"));
    EXPECT_TRUE(fs::exists(target / "fits.swf"));
}

} // namespace
