// quorvel FILE: plays a movie, a folder of movies, a package, or a player
// (a Quorvel one, or one made for Windows, which is never run) as the
// packaged player of it plays.

#include "app/FlashControlCheck.h"
#include "app/OpenedFile.h"
#include "app/PlayerSeams.h"
#include "main/OpenerVersion.h"
#include "main/PlayerProcess.h"
#include "platform/ExecutablePath.h"
#include "platform/Say.h"
#include "platform/gtk/GtkMessageBoxPresenter.h"

#include <cstdio>
#include <gtk/gtk.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int StatusOk = 0;
constexpr int StatusUsage = 1;
constexpr int StatusUnplayable = 2;

constexpr std::string_view s_usage
    = "usage: quorvel FILE\n"
      "       quorvel --help | -h\n"
      "       quorvel --version\n"
      "\n"
      "  Plays FILE as a packaged player of it would play: a movie (*.swf, or a file that\n"
      "  begins as one), a folder of movies, a package (a ZIP archive), a Quorvel player or a\n"
      "  Windows player (its ZIP/129 resource; it is never run). A movie takes its folder's\n"
      "  plain files along as the package's other files (no subfolders; up to 256 files and\n"
      "  64 MB besides the movie). A folder plays as its package.ini says, else from its first\n"
      "  movie by name. What the movies save is kept under the package's id, else under one\n"
      "  made from FILE's content, so it is found again when FILE is opened again.\n"
      "  --help, -h           this text\n"
      "  --version            the versions of quorvel and of its movie engine\n"
      "\n"
      "Exit status: 0 the player ended, 1 a usage error, 2 FILE cannot be played\n"
      "(\"quorvel: ...\" on standard error), 3 no display, 4 the Flash control cannot run here.\n";

int UsageError(const std::string& reason)
{
    if (!reason.empty())
        platform::Say("%s", reason.c_str());
    std::fwrite(s_usage.data(), 1, s_usage.size(), stderr);
    return StatusUsage;
}

// The one line of a FILE that cannot be played; started from a file
// manager (standard error is no terminal), the same words in a message box.
void ReportUnplayable(const std::string& words)
{
    platform::Say("%s", words.c_str());
    if (::isatty(STDERR_FILENO))
        return;
    g_set_application_name("quorvel");
    if (!gtk_init_check(nullptr, nullptr))
        return;
    platform::CGtkMessageBoxPresenter presenter;
    presenter.Present(words, MB_OK);
}

// In the player's run the installed presenter shows the box (a stop signal
// closes it, as it closes the player's own boxes).
class COpenerFailureReporter final : public IFailureReporter {
public:
    void Report(const std::string& text) override
    {
        platform::Say("%s", text.c_str());
        if (::isatty(STDERR_FILENO))
            return;
        IMessageBoxPresenter* presenter = SetMessageBoxPresenter(nullptr);
        SetMessageBoxPresenter(presenter);
        presenter->Present(text, MB_OK);
    }
};

// The control installed with the opener: beside it in the build tree, in
// ../lib/quorvel from an installed bin/. Empty when there is none.
std::string InstalledControl()
{
    for (const char* place : { "/libquorvel-flash.so", "/../lib/quorvel/libquorvel-flash.so" }) {
        std::string candidate = platform::ExecutableFolder() + place;
        struct stat info { };
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            return candidate;
    }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    RunHelperIfAsked(argc, argv);

    std::string file;
    bool haveFile = false;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "--help" || argument == "-h")) {
            std::fwrite(s_usage.data(), 1, s_usage.size(), stdout);
            return StatusOk;
        } else if (options && argument == "--version") {
            if (argc != 2)
                return UsageError("--version takes no argument");
            std::printf("quorvel %s\n%s %s (%s)\n", OpenerVersion, EngineName, EngineVersion, EnginePackage);
            return StatusOk;
        } else if (options && argument.size() > 1 && argument.front() == '-') {
            return UsageError("unknown option '" + std::string(argument) + "'");
        } else if (haveFile) {
            return UsageError("one FILE only, not also '" + std::string(argument) + "'");
        } else {
            file = argument;
            haveFile = true;
        }
    }
    if (!haveFile)
        return UsageError({});

    COpenedFile opened;
    std::string error;
    if (!opened.Open(file, error)) {
        ReportUnplayable(error);
        return StatusUnplayable;
    }
    CInstalledControlLoader control { InstalledControl() };
    COpenerFailureReporter reporter;
    // The player's own start takes no arguments: GTK sees none of FILE.
    int playerArgc = 1;
    return RunPlayerProcess(playerArgc, argv, &opened, &control, &reporter);
}
