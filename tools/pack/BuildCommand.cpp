// quorvel-pack build: turns movies into a player that carries them.
//
// OUTPUT is a copy of the player executable (with whatever resources it
// carried stripped), then the package (a ZIP archive, resource IDR_PACKAGE),
// then the Flash control when there is one (resource IDR_FLASH_CONTROL), then
// the title (string IDS_TITLE) and the icon (icon group IDR_MAINFRAME, a PNG)
// when given, then the resource table and its trailer. It is written under a
// temporary name next to OUTPUT and renamed over it once complete.

#include "tools/pack/BuildInputs.h"
#include "tools/pack/Command.h"
#include "tools/pack/OutputFile.h"
#include "tools/pack/PackageErrors.h"
#include "tools/pack/PackageId.h"
#include "tools/pack/WindowsPackage.h"
#include "tools/pack/PackageLook.h"
#include "tools/pack/Usage.h"

#include "app/PackagePassword.h"
#include "movie/MovieName.h"
#include "platform/FileException.h"
#include "platform/MappedFile.h"
#include "platform/ResourceTable.h"
#include "platform/Resources.h"
#include "platform/pixbuf/IconImages.h"
#include "res/ResourceIds.h"
#include "zip/ZipException.h"
#include "zip/ZipFile.h"
#include "zip/ZipFileSystem.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"
#include "zip/ZipRecords.h"
#include "zip/ZipWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* SettingsName = "package.ini";
// Unix regular file, rw------- in the high word; the MS-DOS archive bit.
constexpr DWORD FileAttributes = 0x81800020;
// Unix folder, rwx------ in the high word; the MS-DOS directory bit.
constexpr DWORD FolderAttributes = 0x41C00010;
constexpr unsigned OutputMode = 0755;

struct BuildOptions {
    std::string output {};
    std::optional<std::string> mainMovie {};
    bool playAll { false };
    bool fullScreen { false };
    std::optional<std::string> ini {};
    std::optional<std::string> id {};
    std::optional<std::string> title {};
    std::optional<std::string> icon {};
    bool encrypt { true };
    bool store { false };
    bool noControl { false };
    std::optional<std::string> control {};
    std::optional<std::string> player {};
    std::vector<std::string> inputs {};
};

int UsageError(const std::string& reason)
{
    return VerbUsageError("build", reason);
}

// Nothing on success; the exit status of a usage error otherwise.
std::optional<int> ParseOptions(std::span<char* const> arguments, BuildOptions& options)
{
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            options.inputs.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = argument;
        std::optional<std::string> inlineValue;
        if (size_t equals = argument.find('='); argument.starts_with("--") && equals != std::string::npos) {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 == arguments.size())
                return std::nullopt;
            return std::string(arguments[++i]);
        };
        auto flag = [&](bool& target) {
            target = true;
            return !inlineValue;
        };
        bool ok = true;
        if (name == "-o" || name == "--output") {
            auto v = value();
            ok = v.has_value() && !v->empty();
            if (ok)
                options.output = *v;
        } else if (name == "--main" || name == "--ini" || name == "--control" || name == "--player"
            || name == "--title" || name == "--icon") {
            auto v = value();
            ok = v.has_value() && !v->empty();
            if (ok) {
                auto& target = name == "--main" ? options.mainMovie
                    : name == "--ini"           ? options.ini
                    : name == "--control"       ? options.control
                    : name == "--title"         ? options.title
                    : name == "--icon"          ? options.icon
                                                : options.player;
                target = *v;
            }
        } else if (name == "--id") {
            auto v = value();
            if (!v)
                return UsageError("'--id' needs a value");
            if (!IsValidPackageId(*v))
                return UsageError(
                    "--id '" + *v + "': an id is 1 to 64 characters of A-Z, a-z, 0-9, '_' and '-'");
            options.id = *v;
        } else if (name == "--play-all") {
            ok = flag(options.playAll);
        } else if (name == "--fullscreen") {
            ok = flag(options.fullScreen);
        } else if (name == "--store") {
            ok = flag(options.store);
        } else if (name == "--no-control") {
            ok = flag(options.noControl);
        } else if (name == "--no-encrypt") {
            bool noEncrypt = false;
            ok = flag(noEncrypt);
            options.encrypt = false;
        } else {
            return UsageError("unknown option '" + argument + "'");
        }
        if (!ok)
            return UsageError("'" + name + "' " + (inlineValue ? "takes no value" : "needs a value"));
    }
    if (options.output.empty())
        return UsageError("no OUTPUT (-o)");
    if (options.inputs.empty())
        return UsageError("no INPUT");
    if (options.noControl && options.control)
        return UsageError("--control and --no-control exclude each other");
    if (options.ini && (options.mainMovie || options.playAll || options.fullScreen))
        return UsageError("--main, --play-all and --fullscreen write package.ini; with --ini it is given");
    return std::nullopt;
}

std::string SelfFolder()
{
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return ".";
    std::string path(buffer, size_t(n));
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool Exists(const std::string& path)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0;
}

// Where quorvel-pack finds the player and the control: beside itself (the
// build tree; the bare player in an installed bin/), then in ../lib/quorvel
// (where an installation keeps the control). The first place that has
// `name`, or nothing.
std::optional<std::string> FindBeside(const std::string& name)
{
    for (const char* folder : { "/", "/../lib/quorvel/" }) {
        std::string candidate = SelfFolder() + folder + name;
        if (Exists(candidate))
            return candidate;
    }
    return std::nullopt;
}

bool IsReadyZip(const BuildOptions& options)
{
    if (options.inputs.size() != 1)
        return false;
    const std::string& input = options.inputs.front();
    if (input.size() < 4)
        return false;
    std::string tail = input.substr(input.size() - 4);
    std::transform(
        tail.begin(), tail.end(), tail.begin(), [](char c) { return char(std::tolower(BYTE(c))); });
    struct stat info { };
    return tail == ".zip" && ::stat(input.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Whether `path` names the file that OUTPUT would replace.
bool IsOutput(const std::string& path, const struct stat& output)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0 && info.st_dev == output.st_dev && info.st_ino == output.st_ino;
}

struct ResourceInput {
    std::string path {};
    CMappedFile file {};
};

bool MapInput(ResourceInput& input, const char* what, std::string& error)
{
    struct stat info { };
    if (::stat(input.path.c_str(), &info) != 0) {
        error = input.path + " (" + what + "): " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = input.path + " (" + what + "): not a file";
        return false;
    }
    if (!input.file.Open(input.path.c_str())) {
        error = input.path + " (" + what + "): cannot be read";
        return false;
    }
    return true;
}

// The bytes a ready .zip holds must be a package the player can unpack: an
// archive whose every entry reads back whole under the package password.
bool CheckReadyZip(const CMappedFile& zip, const std::string& path, std::string& error)
{
    if (zip.size() > 0xFFFFFFFFu) {
        error = path + ": too large for a package (over 4 GB)";
        return false;
    }
    CZipMemoryBlock block;
    block.Attach(zip.data(), DWORD(zip.size()));
    CZipReader reader;
    int files = 0;
    int movies = 0;
    try {
        reader.Open(block);
        reader.SetPassword(PackagePassword);
        std::vector<BYTE> buffer(CZipReader::DefaultBufferSize);
        for (int i = 0; i < reader.GetEntryCount(); ++i) {
            CZipEntryHeader* header = reader.GetEntryHeader(i);
            if (header->IsDirectory())
                continue;
            ++files;
            if (IsMovieName(header->GetFileName()))
                ++movies;
            if (!reader.OpenEntry(WORD(i)))
                throw CZipException(ZipErrorCause::Damaged);
            while (reader.ReadEntry(buffer.data(), DWORD(buffer.size())) != 0) { }
            if (reader.CloseEntry() != CZipReader::EntryClose::closed)
                throw CZipException(ZipErrorCause::Damaged);
        }
        reader.Close();
    } catch (const CZipException& e) {
        reader.Close(CZipReader::closeAfterException);
        CString text = DescribeCause(e.cause, true);
        error = path + ": not a package the player can unpack: " + text;
        return false;
    }
    if (movies == 0) {
        error = path + ": holds no movie (*.swf)";
        return false;
    }
    if (files < 2)
        std::fprintf(stderr,
            "note: %s holds fewer than two files; the player ends at once with such a package\n",
            path.c_str());
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& text, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (in)
        text.assign(std::istreambuf_iterator<char>(in), {});
    if (!in && !in.eof()) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// Gives the settings entry `item` its id: the one it has unless --id names
// another, else a new one. A file whose id stays is stored as it is; any
// other gets the id line and keeps every other byte. Nothing on success,
// else the exit status.
std::optional<int> SetPackageId(const BuildOptions& options, BuildItem& item, std::string& id)
{
    std::string text = item.content;
    std::string error;
    if (!item.path.empty() && !ReadWholeFile(item.path, text, error))
        return ReportError(error);
    std::optional<std::string> present = FindPackageId(text);
    if (present && !options.id) {
        id = *present;
        if (!IsValidPackageId(id))
            std::fprintf(stderr,
                "note: package.ini's id '%s' is not 1 to 64 of A-Z a-z 0-9 _ -; the player keeps saved data "
                "under an id of its own instead\n",
                id.c_str());
        return std::nullopt;
    }
    if (options.id) {
        id = *options.id;
    } else if (std::optional<std::string> made = MakePackageId()) {
        id = *made;
    } else {
        return ReportError(std::string("no random id for the package: ") + std::strerror(errno));
    }
    item.content = WithPackageId(text, id);
    item.edited = !item.path.empty();
    return std::nullopt;
}

// Decides the settings entry and checks the package's contents. Adds the
// made-up package.ini in front when neither --ini nor the inputs give one,
// and gives the settings their id (`id`). Nothing on success, else the exit
// status.
std::optional<int> PlanPackage(const BuildOptions& options, std::vector<BuildItem>& items, std::string& id)
{
    std::vector<size_t> settings;
    std::vector<size_t> movies;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].folder)
            continue;
        if (EntryBaseName(items[i].entryName) == SettingsName)
            settings.push_back(i);
        if (IsMovieName(items[i].entryName))
            movies.push_back(i);
    }
    if (movies.empty())
        return ReportError("no movie (*.swf) among the inputs");
    if (settings.size() > 1)
        return ReportError("more than one package.ini among the inputs: " + SourceName(items[settings[0]])
            + ", " + SourceName(items[settings[1]]));
    if (!settings.empty() && options.ini)
        return ReportError(
            "--ini " + *options.ini + " given, but the inputs hold " + SourceName(items[settings[0]]));
    if (!settings.empty() && (options.mainMovie || options.playAll || options.fullScreen))
        return UsageError("--main, --play-all and --fullscreen write package.ini; the inputs hold one ("
            + SourceName(items[settings[0]]) + ")");

    // Entries of one name, and files that land on one name when the player
    // unpacks them without their folders.
    std::map<std::string, size_t> byName;
    std::map<std::string, size_t> byBaseName;
    for (size_t i = 0; i < items.size(); ++i) {
        const BuildItem& item = items[i];
        if (!byName.emplace(item.entryName, i).second)
            return ReportError("two inputs make the entry " + item.entryName + ": "
                + SourceName(items[byName[item.entryName]]) + " and " + SourceName(item));
        if (const char* problem = CZipWriter::NameProblem(item.entryName, item.folder))
            return ReportError(SourceName(item) + ": cannot be stored as " + item.entryName + ": " + problem);
        if (item.folder)
            continue;
        std::string base = EntryBaseName(item.entryName);
        if (auto [at, added] = byBaseName.emplace(base, i); !added)
            std::fprintf(stderr, "note: %s and %s are both unpacked as %s; the player keeps the latter\n",
                items[at->second].entryName.c_str(), item.entryName.c_str(), base.c_str());
    }

    if (options.ini) {
        BuildItem item;
        std::string error;
        if (!MakeFileItem(*options.ini, SettingsName, item, error))
            return ReportError(error);
        items.insert(items.begin(), std::move(item));
    } else if (settings.empty()) {
        std::string mainMovie = EntryBaseName(items[movies.front()].entryName);
        if (options.mainMovie) {
            auto named = std::find_if(movies.begin(), movies.end(), [&](size_t i) {
                return items[i].entryName == *options.mainMovie
                    || EntryBaseName(items[i].entryName) == *options.mainMovie;
            });
            if (named == movies.end())
                return ReportError("--main " + *options.mainMovie + ": no such movie among the inputs");
            mainMovie = EntryBaseName(items[*named].entryName);
        }
        BuildItem item;
        item.entryName = SettingsName;
        item.content = MakeSettingsText(mainMovie, options.fullScreen, options.playAll);
        item.modified = std::time(nullptr);
        items.insert(items.begin(), std::move(item));
    }
    // The settings entry is now the first one or the one among the inputs.
    BuildItem& settingsItem = options.ini || settings.empty() ? items.front() : items[settings.front()];
    return SetPackageId(options, settingsItem, id);
}

void WritePackage(const BuildOptions& options, const std::vector<BuildItem>& items, COutputFile& output)
{
    CZipWriter writer(output);
    writer.SetPassword(PackagePassword);
    for (const BuildItem& item : items) {
        CZipNewEntry entry;
        entry.name = item.entryName;
        entry.method = options.store ? ZipRecords::MethodStored : ZipRecords::MethodDeflated;
        entry.encrypt = options.encrypt;
        entry.madeBySystem = ZipFileSystem::SystemDos;
        entry.externalAttributes = item.folder ? FolderAttributes : FileAttributes;
        CZipWriter::DosTimeFromCalendar(item.modified, entry.modTime, entry.modDate);
        if (item.folder) {
            writer.AddFolder(entry);
        } else if (item.path.empty() || item.edited) {
            CZipMemoryBlock content;
            content.Attach(reinterpret_cast<const BYTE*>(item.content.data()), DWORD(item.content.size()));
            writer.AddFile(entry, content);
        } else {
            CZipFile file(item.path.c_str(), CFile::modeRead | CFile::shareDenyWrite);
            writer.AddFile(entry, file);
        }
    }
    writer.Finish();
}

void WriteBytes(COutputFile& output, const BYTE* data, std::uint64_t size)
{
    while (size > 0) {
        UINT n = UINT(std::min<std::uint64_t>(size, 1u << 20));
        output.Write(data, n);
        data += n;
        size -= n;
    }
}

} // namespace

int RunBuild(std::span<char* const> arguments)
{
    BuildOptions options;
    if (auto status = ParseOptions(arguments, options))
        return *status;

    bool readyZip = IsReadyZip(options);
    if (readyZip
        && (options.mainMovie || options.playAll || options.fullScreen || options.ini || options.id
            || !options.encrypt || options.store))
        return UsageError(
            "a ready .zip is used as it is: --main, --play-all, --fullscreen, --ini, --id, --no-encrypt "
            "and --store do not apply");

    // OUTPUT must be a file we may replace, and none of the inputs.
    struct stat outputInfo { };
    bool outputExists = ::stat(options.output.c_str(), &outputInfo) == 0;
    if (outputExists && !S_ISREG(outputInfo.st_mode))
        return ReportError(options.output + ": exists and is not a file");

    ResourceInput player { options.player.value_or(
        FindBeside("quorvel-player").value_or(SelfFolder() + "/quorvel-player")) };
    ResourceInput control;
    if (options.control) {
        control.path = *options.control;
    } else if (!options.noControl) {
        for (const char* name : { "flash8.ocx", "libquorvel-flash.so" }) {
            if (auto found = FindBeside(name)) {
                control.path = *found;
                break;
            }
        }
        if (control.path.empty())
            std::fprintf(stderr,
                "note: no Flash control found next to quorvel-pack or in ../lib/quorvel; packaging without "
                "one\n");
    }

    if (options.title) {
        if (std::string problem = TitleProblem(*options.title); !problem.empty())
            return ReportError("the title (--title) is " + problem);
    }
    ResourceInput icon { options.icon.value_or(std::string()) };

    std::vector<BuildItem> items;
    ResourceInput zip;
    std::string error;
    std::string id;
    if (readyZip) {
        zip.path = options.inputs.front();
    } else {
        std::vector<std::string> notes;
        for (const std::string& input : options.inputs) {
            bool collected = IsWindowsExecutable(input) ? CollectWindowsPackage(input, items, error)
                                                        : CollectBuildInputs({ input }, items, notes, error);
            if (!collected)
                return ReportError(error);
        }
        for (const std::string& note : notes)
            std::fprintf(stderr, "note: %s\n", note.c_str());
        if (auto status = PlanPackage(options, items, id))
            return *status;
    }

    if (outputExists) {
        for (const BuildItem& item : items) {
            if (!SourceName(item).empty() && item.device == outputInfo.st_dev
                && item.inode == outputInfo.st_ino)
                return ReportError(SourceName(item) + " is the output; OUTPUT must not replace an input");
        }
        for (const std::string* path : { &player.path, &control.path, &zip.path, &icon.path }) {
            if (!path->empty() && IsOutput(*path, outputInfo))
                return ReportError(*path + " is the output; OUTPUT must not replace an input");
        }
    }

    if (!MapInput(player, "the player", error))
        return ReportError(error);
    if (!control.path.empty() && !MapInput(control, "the Flash control", error))
        return ReportError(error);
    if (readyZip && (!MapInput(zip, "the package", error) || !CheckReadyZip(zip.file, zip.path, error)))
        return ReportError(error);
    if (!icon.path.empty()) {
        // Decoded whole: a PNG the player could not show is refused here.
        if (!MapInput(icon, "the icon", error))
            return ReportError(error);
        if (!platform::DecodePng({ icon.file.data(), icon.file.size() }, error))
            return ReportError(icon.path + " (the icon): " + error);
    }

    std::span<const BYTE> playerImage(player.file.data(), player.file.size());
    std::uint64_t playerSize = platform::ExecutableSize(playerImage);
    if (playerSize == 0)
        return ReportError(player.path + " (the player): empty");

    COutputFile output;
    if (!output.Create(options.output, error))
        return ReportError(error);
    std::vector<platform::ResourceEntry> resources;
    try {
        WriteBytes(output, playerImage.data(), playerSize);

        platform::ResourceEntry package { std::string(RT_PACKAGE), IDR_PACKAGE, 0, output.Size(), 0 };
        if (readyZip)
            WriteBytes(output, zip.file.data(), zip.file.size());
        else
            WritePackage(options, items, output);
        package.size = output.Size() - package.offset;
        resources.push_back(package);

        if (!control.path.empty()) {
            platform::ResourceEntry ocx { std::string(RT_FLASH_CONTROL), IDR_FLASH_CONTROL, 0, output.Size(),
                control.file.size() };
            WriteBytes(output, control.file.data(), control.file.size());
            resources.push_back(ocx);
        }
        if (options.title) {
            platform::ResourceEntry title { platform::RT_STRING, IDS_TITLE, 0, output.Size(),
                options.title->size() };
            WriteBytes(output, reinterpret_cast<const BYTE*>(options.title->data()), options.title->size());
            resources.push_back(title);
        }
        if (!icon.path.empty()) {
            platform::ResourceEntry group { platform::RT_GROUP_ICON, IDR_MAINFRAME, 0, output.Size(),
                icon.file.size() };
            WriteBytes(output, icon.file.data(), icon.file.size());
            resources.push_back(group);
        }
        std::vector<BYTE> table = platform::SerializeResourceTable(resources, output.Size());
        WriteBytes(output, table.data(), table.size());
        output.Commit(OutputMode);
    } catch (const CZipWriteException& e) {
        return ReportError(e.message);
    } catch (const CZipException& e) {
        return ReportZipError(e);
    } catch (const CFileException& e) {
        return ReportFileError(e);
    }

    std::printf("%s: player %llu bytes, package %llu bytes (%s)%s\n", options.output.c_str(),
        static_cast<unsigned long long>(playerSize), static_cast<unsigned long long>(resources[0].size),
        readyZip ? "ready .zip" : (std::to_string(items.size()) + " entries").c_str(),
        control.path.empty() ? "" : ", Flash control");
    if (!readyZip)
        std::printf("id: %s\n", id.c_str());
    return StatusOk;
}
