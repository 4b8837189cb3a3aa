// quorvel-pack install PLAYER [--prefix DIR] and uninstall PLAYER [--prefix DIR]:
// a packaged player in the desktop's menu. Install writes
//   BIN/NAME                                    the player (NAME: PLAYER's base name)
//   DATA/applications/quorvel-ID.desktop        its desktop entry
//   DATA/icons/hicolor/SxS/apps/quorvel-ID.png  its icon at each of platform::IconSizes
// with BIN and DATA either DIR/bin and DIR/share, or ~/.local/bin and
// ${XDG_DATA_HOME:-~/.local/share}. ID is the id the player keeps the
// package's things under, and "quorvel-ID" the class of its windows.
// Uninstall removes those files and the folders they leave empty.

#include "tools/pack/Command.h"
#include "tools/pack/DesktopEntry.h"
#include "tools/pack/OutputFile.h"
#include "tools/pack/PackageErrors.h"
#include "tools/pack/PackageFile.h"
#include "tools/pack/PackageLook.h"
#include "tools/pack/Usage.h"

#include "app/CarriedSettings.h"
#include "app/SavedData.h"
#include "platform/FileException.h"
#include "platform/ResourceTable.h"
#include "platform/pixbuf/IconImages.h"
#include "res/ResourceIds.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr unsigned ProgramMode = 0755;
constexpr unsigned DataMode = 0644;

struct InstallArguments {
    std::string player {};
    std::optional<std::string> prefix {};
};

// Where install puts things; `top` and `dataTop` are never removed.
struct InstallPlaces {
    fs::path bin {};
    fs::path applications {};
    fs::path hicolor {};
    fs::path top {};
    fs::path dataTop {};
};

// A packaged player as install sees it.
struct InstalledPlayer {
    CPackageFile file {};
    CString carriedId {};
    CarriedLook look {};
};

// Nothing on success; the exit status of a usage error otherwise.
std::optional<int> ParseArguments(
    std::string_view verb, std::span<char* const> arguments, InstallArguments& parsed)
{
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            positional.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--prefix" || argument.starts_with("--prefix=")) {
            std::optional<std::string> value;
            if (argument != "--prefix")
                value = argument.substr(9);
            else if (i + 1 < arguments.size())
                value = arguments[++i];
            if (!value || value->empty())
                return VerbUsageError(verb, "'--prefix' needs a value");
            parsed.prefix = *value;
        } else {
            return VerbUsageError(verb, "unknown option '" + argument + "'");
        }
    }
    if (positional.size() != 1)
        return VerbUsageError(verb, positional.empty() ? "no PLAYER" : "one PLAYER only");
    parsed.player = positional.front();
    return std::nullopt;
}

bool FindPlaces(const InstallArguments& arguments, InstallPlaces& places, std::string& error)
{
    fs::path data;
    if (arguments.prefix) {
        std::error_code failure;
        places.top = fs::absolute(*arguments.prefix, failure);
        places.bin = places.top / "bin";
        data = places.top / "share";
        places.dataTop = places.top;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') {
            error = "no home folder (HOME is not an absolute path); give --prefix DIR";
            return false;
        }
        places.top = fs::path(home) / ".local";
        places.bin = places.top / "bin";
        const char* dataHome = std::getenv("XDG_DATA_HOME");
        data = dataHome && dataHome[0] == '/' ? fs::path(dataHome) : places.top / "share";
        places.dataTop = data;
    }
    places.applications = data / "applications";
    places.hicolor = data / "icons" / "hicolor";
    return true;
}

bool ReadPlayer(const std::string& path, InstalledPlayer& player, std::string& error)
{
    if (!player.file.Open(path.c_str(), error))
        return false;
    auto entries = platform::ParseResourceTable(player.file.image());
    bool packaged = false;
    for (const auto& entry : entries.value_or(std::vector<platform::ResourceEntry> {}))
        packaged = packaged
            || (entry.type == platform::ResourceType(std::string(RT_PACKAGE))
                && entry.id == DWORD(IDR_PACKAGE));
    if (!packaged) {
        error = path + " is not a packaged player";
        return false;
    }
    player.carriedId = CarriedPackageId(player.file.data(), player.file.size());
    player.look = FindCarriedLook(player.file.image());
    return true;
}

// The id of the player once it is at `installed`: the player names its
// windows after it (a package without an id of the valid form goes by the
// installed copy's real path).
CString InstalledId(const CString& carriedId, const fs::path& installed)
{
    std::error_code failure;
    fs::path folder = fs::canonical(installed.parent_path(), failure);
    fs::path real = failure ? installed : folder / installed.filename();
    return EffectivePackageId(carriedId, real.string());
}

fs::path EntryPath(const InstallPlaces& places, const CString& id)
{
    return places.applications / ("quorvel-" + id + ".desktop");
}

fs::path IconPath(const InstallPlaces& places, int size, const CString& id)
{
    std::string square = std::to_string(size) + "x" + std::to_string(size);
    return places.hicolor / square / "apps" / ("quorvel-" + id + ".png");
}

// False, with the reason in `error`, when the file cannot be written; what
// was at `path` then stays.
bool WriteWholeFile(const fs::path& path, std::span<const BYTE> bytes, unsigned mode, std::string& error)
{
    COutputFile output;
    if (!output.Create(path.string(), error))
        return false;
    try {
        while (!bytes.empty()) {
            UINT n = UINT(std::min<std::size_t>(bytes.size(), 1u << 20));
            output.Write(bytes.data(), n);
            bytes = bytes.subspan(n);
        }
        output.Commit(mode);
    } catch (const CFileException& e) {
        error = e.what();
        return false;
    }
    return true;
}

std::span<const BYTE> Bytes(const std::string& text)
{
    return { reinterpret_cast<const BYTE*>(text.data()), text.size() };
}

// Removes `path` when it is there; says so on stdout.
void RemoveFile(const fs::path& path)
{
    std::error_code failure;
    if (fs::remove(path, failure))
        std::printf("removed %s\n", path.c_str());
    else if (failure)
        std::fprintf(stderr, "note: %s: %s\n", path.c_str(), failure.message().c_str());
}

// Removes `folder` and the folders above it while they are empty, up to `top`.
void RemoveEmptyFolders(fs::path folder, const fs::path& top)
{
    std::error_code failure;
    while (folder != top && folder.has_relative_path() && folder.string().starts_with(top.string())
        && fs::is_directory(folder, failure) && fs::is_empty(folder, failure)) {
        if (!fs::remove(folder, failure))
            break;
        folder = folder.parent_path();
    }
}

// The entry and icons of the package `id`.
void RemoveDesktopFiles(const InstallPlaces& places, const CString& id)
{
    RemoveFile(EntryPath(places, id));
    RemoveEmptyFolders(places.applications, places.dataTop);
    for (int size : platform::IconSizes) {
        fs::path icon = IconPath(places, size, id);
        RemoveFile(icon);
        RemoveEmptyFolders(icon.parent_path(), places.dataTop);
    }
}

// The id of the packaged player at `path`, when it is one.
std::optional<CString> InstalledPlayerId(const fs::path& path)
{
    std::error_code failure;
    if (!fs::is_regular_file(path, failure))
        return std::nullopt;
    InstalledPlayer player;
    std::string error;
    if (!ReadPlayer(path.string(), player, error))
        return std::nullopt;
    return InstalledId(player.carriedId, path);
}

// What both verbs start from.
struct Request {
    InstallArguments arguments {};
    InstallPlaces places {};
    InstalledPlayer player {};
};

// Nothing when the arguments are right and PLAYER is a packaged player;
// the exit status otherwise.
std::optional<int> Prepare(std::string_view verb, std::span<char* const> arguments, Request& request)
{
    if (auto status = ParseArguments(verb, arguments, request.arguments))
        return status;
    std::string error;
    if (!FindPlaces(request.arguments, request.places, error)
        || !ReadPlayer(request.arguments.player, request.player, error))
        return ReportError(error);
    return std::nullopt;
}

} // namespace

int RunInstall(std::span<char* const> arguments)
{
    Request request;
    if (auto status = Prepare("install", arguments, request))
        return *status;
    const InstallArguments& parsed = request.arguments;
    const InstallPlaces& places = request.places;
    const InstalledPlayer& player = request.player;
    std::string error;

    // Everything is made before anything is written.
    std::span<const BYTE> iconPng = ShownIcon(player.look);
    platform::PixbufPtr image = platform::DecodePng(iconPng, error);
    if (!image)
        return ReportError(parsed.player + ": its icon is " + error);
    std::vector<std::string> icons;
    for (int size : platform::IconSizes) {
        platform::PixbufPtr square = platform::SquareIcon(image.get(), size);
        icons.push_back(square ? platform::EncodePng(square.get()) : std::string());
        if (icons.back().empty())
            return ReportError(
                parsed.player + ": its icon cannot be scaled to " + std::to_string(size) + " pixels");
    }

    fs::path installed = places.bin / fs::path(parsed.player).filename();
    CString id = InstalledId(player.carriedId, installed);
    // A player of another package under the same name goes, and its entry with it.
    std::optional<CString> previous = InstalledPlayerId(installed);
    if (previous && *previous != id)
        RemoveDesktopFiles(places, *previous);

    std::error_code failure;
    for (const fs::path& folder : { places.bin, places.applications }) {
        fs::create_directories(folder, failure);
        if (failure)
            return ReportError(folder.string() + ": " + failure.message());
    }
    CString windowClass = "quorvel-" + id;
    std::string entry
        = DesktopEntryText({ ShownTitle(player.look), installed.string(), windowClass, windowClass });
    if (entry.empty())
        return ReportError(installed.string() + ": a path that no desktop entry can start");

    if (!WriteWholeFile(installed, player.file.image(), ProgramMode, error))
        return ReportError(error);
    std::printf("installed %s\n", installed.c_str());
    for (size_t i = 0; i < icons.size(); ++i) {
        fs::path icon = IconPath(places, platform::IconSizes[i], id);
        fs::create_directories(icon.parent_path(), failure);
        if (failure)
            return ReportError(icon.parent_path().string() + ": " + failure.message());
        if (!WriteWholeFile(icon, Bytes(icons[i]), DataMode, error))
            return ReportError(error);
        std::printf("installed %s\n", icon.c_str());
    }
    fs::path entryPath = EntryPath(places, id);
    if (!WriteWholeFile(entryPath, Bytes(entry), DataMode, error))
        return ReportError(error);
    std::printf("installed %s\n", entryPath.c_str());
    return StatusOk;
}

int RunUninstall(std::span<char* const> arguments)
{
    Request request;
    if (auto status = Prepare("uninstall", arguments, request))
        return *status;
    const InstallArguments& parsed = request.arguments;
    const InstallPlaces& places = request.places;
    const InstalledPlayer& player = request.player;

    fs::path installed = places.bin / fs::path(parsed.player).filename();
    CString id = InstalledId(player.carriedId, installed);
    RemoveDesktopFiles(places, id);
    // The copy goes only when it is this package's: a file of that name
    // that is something else stays.
    std::error_code failure;
    if (fs::exists(fs::symlink_status(installed, failure))) {
        if (InstalledPlayerId(installed) == id) {
            RemoveFile(installed);
            RemoveEmptyFolders(places.bin, places.top);
        } else {
            std::fprintf(stderr, "note: %s is not this package's player; left alone\n", installed.c_str());
        }
    }
    return StatusOk;
}
