#include "tools/pack/CarriedFiles.h"

#include "tools/pack/BuildOptions.h"
#include "tools/pack/Messages.h"
#include "tools/pack/ReadyZip.h"
#include "tools/pack/Result.h"

#include "platform/ExecutablePath.h"
#include "platform/ResourceTable.h"
#include "platform/pixbuf/IconImages.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace {

bool Exists(const std::string& path)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0;
}

// The first place beside quorvel-pack that has `name`, or nothing.
std::optional<std::string> FindBeside(const std::string& name)
{
    for (const char* folder : { "/", "/../lib/quorvel/" }) {
        std::string candidate = platform::ExecutableFolder() + folder + name;
        if (Exists(candidate))
            return candidate;
    }
    return std::nullopt;
}

Result<void> MapInput(ResourceInput& input, const char* what)
{
    struct stat info { };
    if (::stat(input.path.c_str(), &info) != 0)
        return Failure::Error(input.path + " (" + what + "): " + std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return Failure::Error(input.path + " (" + what + "): not a file");
    if (!input.file.Open(input.path.c_str()))
        return Failure::Error(input.path + " (" + what + "): cannot be read");
    return {};
}

} // namespace

void LocateCarriedFiles(const BuildOptions& options, CarriedFiles& files)
{
    files.player.path = options.player.value_or(
        FindBeside("quorvel-player").value_or(platform::ExecutableFolder() + "/quorvel-player"));
    if (options.control) {
        files.control.path = *options.control;
    } else if (!options.noControl) {
        for (const char* name : { "flash8.ocx", "libquorvel-flash.so" }) {
            if (auto found = FindBeside(name)) {
                files.control.path = *found;
                break;
            }
        }
        if (files.control.path.empty())
            PrintMessage(MessageKind::note,
                "no Flash control found next to quorvel-pack or in ../lib/quorvel; packaging without one");
    }
    if (options.readyZip)
        files.zip.path = options.inputs.front();
    files.icon.path = options.icon.value_or(std::string());
}

Result<void> MapCarriedFiles(CarriedFiles& files)
{
    TRY(MapInput(files.player, "the player"));
    if (!files.control.path.empty())
        TRY(MapInput(files.control, "the Flash control"));
    if (!files.zip.path.empty()) {
        TRY(MapInput(files.zip, "the package"));
        TRY(CheckReadyZip(files.zip.file, files.zip.path));
    }
    if (!files.icon.path.empty()) {
        TRY(MapInput(files.icon, "the icon"));
        std::string error;
        if (!platform::DecodePng({ files.icon.file.data(), files.icon.file.size() }, error))
            return Failure::Error(files.icon.path + " (the icon): " + error);
    }
    return {};
}

Result<std::uint64_t> PlayerImageSize(const ResourceInput& player)
{
    std::uint64_t size = platform::ExecutableSize({ player.file.data(), player.file.size() });
    if (size == 0)
        return Failure::Error(player.path + " (the player): empty");
    return size;
}
