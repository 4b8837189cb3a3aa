#include "tools/pack/PackagePlan.h"

#include "tools/pack/BuildInputs.h"
#include "tools/pack/BuildOptions.h"
#include "tools/pack/Messages.h"
#include "tools/pack/PackageId.h"
#include "tools/pack/Result.h"
#include "tools/pack/WindowsPackage.h"

#include "movie/MovieName.h"
#include "zip/ZipWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

namespace {

constexpr const char* SettingsName = "package.ini";

// Where the settings and the movies are among the items.
struct ItemKinds {
    std::vector<size_t> settings {};
    std::vector<size_t> movies {};
};

ItemKinds FindKinds(const std::vector<BuildItem>& items)
{
    ItemKinds kinds;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].folder)
            continue;
        if (EntryBaseName(items[i].entryName) == SettingsName)
            kinds.settings.push_back(i);
        if (IsMovieName(items[i].entryName))
            kinds.movies.push_back(i);
    }
    return kinds;
}

// A movie, at most one settings file, and that one not beside options that
// would give or write another.
Result<void> CheckKinds(
    const BuildOptions& options, const std::vector<BuildItem>& items, const ItemKinds& kinds)
{
    const std::vector<size_t>& settings = kinds.settings;
    if (kinds.movies.empty())
        return Failure::Error("no movie (*.swf) among the inputs");
    if (settings.size() > 1)
        return Failure::Error("more than one package.ini among the inputs: " + SourceName(items[settings[0]])
            + ", " + SourceName(items[settings[1]]));
    if (!settings.empty() && options.ini)
        return Failure::Error(
            "--ini " + *options.ini + " given, but the inputs hold " + SourceName(items[settings[0]]));
    if (!settings.empty() && (options.mainMovie || options.playAll || options.fullScreen))
        return Failure::Usage("build",
            "--main, --play-all and --fullscreen write package.ini; the inputs hold one ("
                + SourceName(items[settings[0]]) + ")");
    return {};
}

// Entries of one name, and names the writer cannot store, are refused;
// files that land on one name when the player unpacks them without their
// folders are noted.
Result<void> CheckNames(const std::vector<BuildItem>& items)
{
    std::map<std::string, size_t> byName;
    std::map<std::string, size_t> byBaseName;
    for (size_t i = 0; i < items.size(); ++i) {
        const BuildItem& item = items[i];
        if (!byName.emplace(item.entryName, i).second)
            return Failure::Error("two inputs make the entry " + item.entryName + ": "
                + SourceName(items[byName[item.entryName]]) + " and " + SourceName(item));
        if (const char* problem = CZipWriter::NameProblem(item.entryName, item.folder))
            return Failure::Error(
                SourceName(item) + ": cannot be stored as " + item.entryName + ": " + problem);
        if (item.folder)
            continue;
        std::string base = EntryBaseName(item.entryName);
        if (auto [at, added] = byBaseName.emplace(base, i); !added)
            PrintMessage(MessageKind::note,
                std::string(items[at->second].entryName.c_str()) + " and " + item.entryName.c_str()
                    + " are both unpacked as " + base.c_str() + "; the player keeps the latter");
    }
    return {};
}

// The settings entry --ini names, or the one made from the options, in
// front of the others; nothing when the inputs hold one.
Result<void> AddSettings(const BuildOptions& options, std::vector<BuildItem>& items, const ItemKinds& kinds)
{
    if (options.ini) {
        items.insert(items.begin(), TRY(MakeFileItem(*options.ini, SettingsName)));
    } else if (kinds.settings.empty()) {
        std::string mainMovie = EntryBaseName(items[kinds.movies.front()].entryName);
        if (options.mainMovie) {
            auto named = std::find_if(kinds.movies.begin(), kinds.movies.end(), [&](size_t i) {
                return items[i].entryName == *options.mainMovie
                    || EntryBaseName(items[i].entryName) == *options.mainMovie;
            });
            if (named == kinds.movies.end())
                return Failure::Error("--main " + *options.mainMovie + ": no such movie among the inputs");
            mainMovie = EntryBaseName(items[*named].entryName);
        }
        BuildItem item;
        item.entryName = SettingsName;
        item.content = MakeSettingsText(mainMovie, options.fullScreen, options.playAll);
        item.modified = std::time(nullptr);
        items.insert(items.begin(), std::move(item));
    }
    return {};
}

Result<void> ReadWholeFile(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (in)
        text.assign(std::istreambuf_iterator<char>(in), {});
    if (!in && !in.eof())
        return Failure::Error(path + ": " + std::strerror(errno));
    return {};
}

// Gives the settings entry `item` its id: the one it has unless --id names
// another, else a new one. A file whose id stays is stored as it is; any
// other gets the id line and keeps every other byte.
Result<std::string> SetPackageId(const BuildOptions& options, BuildItem& item)
{
    std::string text = item.content;
    if (!item.path.empty())
        TRY(ReadWholeFile(item.path, text));
    std::optional<std::string> present = FindPackageId(text);
    if (present && !options.id) {
        if (!IsValidPackageId(*present))
            PrintMessage(MessageKind::note,
                "package.ini's id '" + std::string(present->c_str())
                    + "' is not 1 to 64 of A-Z a-z 0-9 _ -; the player keeps saved data under an id of its "
                      "own "
                      "instead");
        return *present;
    }
    std::string id;
    if (options.id) {
        id = *options.id;
    } else if (std::optional<std::string> made = MakePackageId()) {
        id = *made;
    } else {
        return Failure::Error(std::string("no random id for the package: ") + std::strerror(errno));
    }
    item.content = WithPackageId(text, id);
    item.edited = !item.path.empty();
    return id;
}

} // namespace

Result<void> CollectItems(const BuildOptions& options, std::vector<BuildItem>& items)
{
    std::vector<std::string> notes;
    for (const std::string& input : options.inputs) {
        if (IsWindowsExecutable(input))
            TRY(CollectWindowsPackage(input, items));
        else
            TRY(CollectBuildInputs({ input }, items, notes));
    }
    for (const std::string& note : notes)
        PrintMessage(MessageKind::note, note);
    return {};
}

Result<std::string> PlanPackage(const BuildOptions& options, std::vector<BuildItem>& items)
{
    ItemKinds kinds = FindKinds(items);
    TRY(CheckKinds(options, items, kinds));
    TRY(CheckNames(items));
    TRY(AddSettings(options, items, kinds));
    // The settings entry is now the first one or the one among the inputs.
    BuildItem& settings
        = options.ini || kinds.settings.empty() ? items.front() : items[kinds.settings.front()];
    return SetPackageId(options, settings);
}
