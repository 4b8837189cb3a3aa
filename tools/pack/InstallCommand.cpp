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
#include "tools/pack/Messages.h"
#include "tools/pack/OutputFile.h"
#include "tools/pack/PackageFile.h"
#include "tools/pack/PackageLook.h"
#include "tools/pack/Result.h"
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

Result<InstallArguments> ParseArguments(std::string_view verb, std::span<char* const> arguments)
{
    InstallArguments parsed;
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
                return Failure::Usage(verb, "'--prefix' needs a value");
            parsed.prefix = *value;
        } else {
            return Failure::Usage(verb, "unknown option '" + argument + "'");
        }
    }
    if (positional.size() != 1)
        return Failure::Usage(verb, positional.empty() ? "no PLAYER" : "one PLAYER only");
    parsed.player = positional.front();
    return parsed;
}

Result<InstallPlaces> FindPlaces(const InstallArguments& arguments)
{
    InstallPlaces places;
    fs::path data;
    if (arguments.prefix) {
        std::error_code failure;
        places.top = fs::absolute(*arguments.prefix, failure);
        places.bin = places.top / "bin";
        data = places.top / "share";
        places.dataTop = places.top;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/')
            return Failure::Error("no home folder (HOME is not an absolute path); give --prefix DIR");
        places.top = fs::path(home) / ".local";
        places.bin = places.top / "bin";
        const char* dataHome = std::getenv("XDG_DATA_HOME");
        data = dataHome && dataHome[0] == '/' ? fs::path(dataHome) : places.top / "share";
        places.dataTop = data;
    }
    places.applications = data / "applications";
    places.hicolor = data / "icons" / "hicolor";
    return places;
}

Result<void> ReadPlayer(const std::string& path, InstalledPlayer& player)
{
    TRY(player.file.Open(path.c_str()));
    auto entries = platform::ParseResourceTable(player.file.image());
    bool packaged = false;
    for (const auto& entry : entries.value_or(std::vector<platform::ResourceEntry> {}))
        packaged = packaged
            || (entry.type == platform::ResourceType(std::string(RT_PACKAGE))
                && entry.id == DWORD(IDR_PACKAGE));
    if (!packaged)
        return Failure::Error(path + " is not a packaged player");
    player.carriedId = CarriedPackageId(player.file.data(), player.file.size());
    player.look = FindCarriedLook(player.file.image());
    return {};
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

// Fails when the file cannot be written; what was at `path` then stays.
Result<void> WriteWholeFile(const fs::path& path, std::span<const BYTE> bytes, unsigned mode)
{
    COutputFile output;
    TRY(output.Create(path.string()));
    try {
        while (!bytes.empty()) {
            UINT n = UINT(std::min<std::size_t>(bytes.size(), 1u << 20));
            output.Write(bytes.data(), n);
            bytes = bytes.subspan(n);
        }
        output.Commit(mode);
    } catch (const CFileException& e) {
        return Failure::File(e);
    }
    return {};
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
        PrintMessage(MessageKind::note, path.string() + ": " + failure.message());
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
    if (!ReadPlayer(path.string(), player))
        return std::nullopt;
    return InstalledId(player.carriedId, path);
}

// What both verbs start from.
struct Request {
    InstallArguments arguments {};
    InstallPlaces places {};
    InstalledPlayer player {};
};

// Fails unless the arguments are right and PLAYER is a packaged player.
Result<void> Prepare(std::string_view verb, std::span<char* const> arguments, Request& request)
{
    request.arguments = TRY(ParseArguments(verb, arguments));
    request.places = TRY(FindPlaces(request.arguments));
    return ReadPlayer(request.arguments.player, request.player);
}

Result<void> Install(std::span<char* const> arguments)
{
    Request request;
    TRY(Prepare("install", arguments, request));
    const InstallArguments& parsed = request.arguments;
    const InstallPlaces& places = request.places;
    const InstalledPlayer& player = request.player;
    std::string error;

    // Everything is made before anything is written.
    std::span<const BYTE> iconPng = ShownIcon(player.look);
    platform::PixbufPtr image = platform::DecodePng(iconPng, error);
    if (!image)
        return Failure::Error(parsed.player + ": its icon is " + error);
    std::vector<std::string> icons;
    for (int size : platform::IconSizes) {
        platform::PixbufPtr square = platform::SquareIcon(image.get(), size);
        icons.push_back(square ? platform::EncodePng(square.get()) : std::string());
        if (icons.back().empty())
            return Failure::Error(
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
            return Failure::Error(folder.string() + ": " + failure.message());
    }
    CString windowClass = "quorvel-" + id;
    std::string entry
        = DesktopEntryText({ ShownTitle(player.look), installed.string(), windowClass, windowClass });
    if (entry.empty())
        return Failure::Error(installed.string() + ": a path that no desktop entry can start");

    TRY(WriteWholeFile(installed, player.file.image(), ProgramMode));
    std::printf("installed %s\n", installed.c_str());
    for (size_t i = 0; i < icons.size(); ++i) {
        fs::path icon = IconPath(places, platform::IconSizes[i], id);
        fs::create_directories(icon.parent_path(), failure);
        if (failure)
            return Failure::Error(icon.parent_path().string() + ": " + failure.message());
        TRY(WriteWholeFile(icon, Bytes(icons[i]), DataMode));
        std::printf("installed %s\n", icon.c_str());
    }
    fs::path entryPath = EntryPath(places, id);
    TRY(WriteWholeFile(entryPath, Bytes(entry), DataMode));
    std::printf("installed %s\n", entryPath.c_str());
    return {};
}

Result<void> Uninstall(std::span<char* const> arguments)
{
    Request request;
    TRY(Prepare("uninstall", arguments, request));
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
            PrintMessage(MessageKind::note, installed.string() + " is not this package's player; left alone");
        }
    }
    return {};
}

} // namespace

int RunInstall(std::span<char* const> arguments)
{
    return ExitStatus(Install(arguments));
}

int RunUninstall(std::span<char* const> arguments)
{
    return ExitStatus(Uninstall(arguments));
}
