// quorvel-pack build: turns movies into a player that carries them.
//
// OUTPUT is a copy of the player executable (with whatever resources it
// carried stripped), then the package (a ZIP archive, resource IDR_PACKAGE),
// then the Flash control when there is one (resource IDR_FLASH_CONTROL), then
// the title (string IDS_TITLE) and the icon (icon group IDR_MAINFRAME, a PNG)
// when given, then the resource table and its trailer. It is written under a
// temporary name next to OUTPUT and renamed over it once complete.
//
// The steps, each in a file of its own: the options (BuildOptions), the
// place of OUTPUT (BuildOutput), the files carried beside the package
// (CarriedFiles, ReadyZip), the package's entries and their plan
// (PackagePlan, BuildInputs, WindowsPackage), and the writing (BuildWriter).

#include "tools/pack/BuildInputs.h"
#include "tools/pack/BuildOptions.h"
#include "tools/pack/BuildOutput.h"
#include "tools/pack/BuildWriter.h"
#include "tools/pack/CarriedFiles.h"
#include "tools/pack/Command.h"
#include "tools/pack/PackageLook.h"
#include "tools/pack/PackagePlan.h"
#include "tools/pack/Result.h"

#include <cstdio>

namespace {

Result<void> CheckTitle(const BuildOptions& options)
{
    if (options.title) {
        if (std::string problem = TitleProblem(*options.title); !problem.empty())
            return Failure::Error("the title (--title) is " + problem);
    }
    return {};
}

// "OUTPUT: player N bytes, package N bytes (...)" and the package's id.
void PrintSummary(const BuildOptions& options, const CarriedFiles& files, std::size_t entries,
    const std::string& id, std::uint64_t playerSize, std::uint64_t packageSize)
{
    std::printf("%s: player %llu bytes, package %llu bytes (%s)%s\n", options.output.c_str(),
        static_cast<unsigned long long>(playerSize), static_cast<unsigned long long>(packageSize),
        options.readyZip ? "ready .zip" : (std::to_string(entries) + " entries").c_str(),
        files.control.path.empty() ? "" : ", Flash control");
    if (!options.readyZip)
        std::printf("id: %s\n", id.c_str());
}

Result<void> Build(std::span<char* const> arguments)
{
    BuildOptions options = TRY(ParseBuildOptions(arguments));
    OutputPlace output = TRY(CheckOutputPlace(options.output));
    CarriedFiles files;
    LocateCarriedFiles(options, files);
    TRY(CheckTitle(options));

    std::vector<BuildItem> items;
    std::string id;
    if (!options.readyZip) {
        TRY(CollectItems(options, items));
        id = TRY(PlanPackage(options, items));
    }
    TRY(CheckOutputIsNoInput(output, items, files));

    TRY(MapCarriedFiles(files));
    std::uint64_t playerSize = TRY(PlayerImageSize(files.player));
    std::uint64_t packageSize = TRY(WriteOutput(options, items, files, playerSize));
    PrintSummary(options, files, items.size(), id, playerSize, packageSize);
    return {};
}

} // namespace

int RunBuild(std::span<char* const> arguments)
{
    return ExitStatus(Build(arguments));
}
