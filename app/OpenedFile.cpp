#include "app/OpenedFile.h"

#include "app/CarriedSettings.h"
#include "app/PackagePassword.h"
#include "app/SavedData.h"
#include "movie/MovieName.h"
#include "platform/PeResources.h"
#include "platform/ProfileString.h"
#include "platform/ResourceTable.h"
#include "res/ResourceIds.h"
#include "zip/ZipException.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* SettingsName = "package.ini";
// The name a movie whose own name cannot stand in package.ini is given in
// the workspace.
constexpr const char* PlainMovieName = "movie.swf";
// No settings file comes near this; a larger one is not taken.
constexpr std::uint64_t MaxSettingsSize = 1u << 20;
constexpr std::uint64_t FnvOffsetBasis = 0xCBF29CE484222325u;
constexpr std::uint64_t FnvPrime = 0x100000001B3u;

const std::string NotPlayable = "not a movie, a package, a player or a folder";

bool HasMovieSignature(const BYTE* bytes, std::size_t size)
{
    return size >= 3 && (bytes[0] == 'F' || bytes[0] == 'C' || bytes[0] == 'Z') && bytes[1] == 'W'
        && bytes[2] == 'S';
}

std::string BaseName(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    size_t slash = trimmed.find_last_of('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

// `path` from the root: the files are copied after the run has moved into
// its workspace.
std::string Absolute(const std::string& path)
{
    if (path.starts_with("/"))
        return path;
    char folder[4096];
    if (!::getcwd(folder, sizeof folder))
        return path;
    return std::string(folder) + "/" + path;
}

std::string FolderOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A name that can be a file of the workspace and a value in package.ini as
// it is: the player's paths take "\\" as a separator, and the settings
// reader trims blanks and quotes.
bool IsPlainName(const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || name.size() > 255)
        return false;
    if (name.front() == ' ' || name.back() == ' ' || name.front() == '"' || name.front() == '\'')
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F || c == '\\' || c == '/';
    });
}

bool IsSettingsName(const std::string& name)
{
    size_t separator = name.find_last_of("\\/");
    return (separator == std::string::npos ? name : name.substr(separator + 1)) == SettingsName;
}

// The hash of a file's bytes, read through a map of its own.
std::optional<std::string> FileContentId(const char* prefix, const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::size_t size = std::size_t(info.st_size);
    void* bytes = size ? ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : nullptr;
    ::close(fd);
    if (bytes == MAP_FAILED)
        return std::nullopt;
    std::string id = ContentId(prefix, static_cast<const BYTE*>(bytes), size);
    if (bytes)
        ::munmap(bytes, size);
    return id;
}

std::optional<std::string> ReadSmallFile(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    std::string text;
    char buffer[16384];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0 && text.size() <= MaxSettingsSize)
        text.append(buffer, std::size_t(n));
    ::close(fd);
    if (n < 0 || text.size() > MaxSettingsSize)
        return std::nullopt;
    return text;
}

std::string Reason(int error)
{
    return std::strerror(error);
}

// Copies at most `limit` bytes of `from` into `to`.
bool CopyFileBytes(int from, int to, std::uint64_t limit)
{
    while (limit > 0) {
        std::size_t chunk = std::size_t(std::min<std::uint64_t>(limit, 1u << 30));
        ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, chunk, 0);
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
            char buffer[65536];
            n = ::read(from, buffer, std::size_t(std::min<std::uint64_t>(limit, sizeof buffer)));
            for (ssize_t done = 0; n > 0 && done < n;) {
                ssize_t written = ::write(to, buffer + done, std::size_t(n - done));
                if (written < 0)
                    return false;
                done += written;
            }
        }
        if (n < 0)
            return false;
        if (n == 0)
            break;
        limit -= std::uint64_t(n);
    }
    return true;
}

} // namespace

std::string ContentId(const char* prefix, const BYTE* bytes, std::size_t size)
{
    std::uint64_t hash = FnvOffsetBasis;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= FnvPrime;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return std::string(prefix) + digits;
}

std::string COpenedFile::MakeSettings(const std::string& mainMovie, const std::string& id)
{
    return "[SETTINGS]\r\nfullscreen=false\r\nmainmovie=" + mainMovie + "\r\nid=" + id + "\r\n";
}

bool COpenedFile::Open(const std::string& path, std::string& error)
{
    m_strPath = path;
    m_strHostPath = Absolute(path);
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0) {
        error = path + ": " + Reason(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        m_kind = Kind::Files;
        return OpenFolder(m_strHostPath, {}, error);
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": " + NotPlayable;
        return false;
    }
    if (!m_file.Open(path.c_str())) {
        error = path + ": " + Reason(errno ? errno : EACCES);
        return false;
    }
    std::span<const BYTE> image(m_file.data(), m_file.size());
    if (HasMovieSignature(image.data(), image.size())) {
        m_kind = Kind::Files;
        m_file.Close();
        return OpenFolder(FolderOf(m_strHostPath), m_strHostPath, error);
    }
    if (IsMovieName(BaseName(path))) {
        error = path + ": not a movie (it does not begin with FWS, CWS or ZWS)";
        return false;
    }

    m_kind = Kind::Package;
    m_pData = image.data();
    std::uint64_t size = image.size();
    if (platform::LooksLikePeImage(image)) {
        // A Windows player: the package is its ZIP/129 resource, in any
        // language. Its code and its other resources are never used.
        std::string reason;
        auto resources = platform::ParsePeResources(image, reason);
        if (!resources) {
            error = path + ": a damaged Windows executable: " + reason;
            return false;
        }
        auto package = std::find_if(resources->begin(), resources->end(), [](const platform::PeResource& r) {
            const auto* type = std::get_if<std::string>(&r.type);
            const auto* id = std::get_if<DWORD>(&r.name);
            return type && id && *id == DWORD(IDR_PACKAGE) && type->size() == std::strlen(RT_PACKAGE)
                && std::equal(type->begin(), type->end(), RT_PACKAGE,
                    [](char a, char b) { return std::toupper(BYTE(a)) == std::toupper(BYTE(b)); });
        });
        if (package == resources->end()) {
            error = path + ": a Windows executable that carries no package (resource " + RT_PACKAGE + "/"
                + std::to_string(IDR_PACKAGE) + ")";
            return false;
        }
        m_pData = image.data() + package->offset;
        size = package->size;
    } else if (auto resources = platform::ParseResourceTable(image)) {
        // A Quorvel player: the package resource alone; its control, title
        // and icon stay behind.
        auto package
            = std::find_if(resources->begin(), resources->end(), [](const platform::ResourceEntry& r) {
                  const auto* type = std::get_if<std::string>(&r.type);
                  return type && *type == RT_PACKAGE && r.id == DWORD(IDR_PACKAGE);
              });
        if (package == resources->end()) {
            error = path + ": an executable that carries no package";
            return false;
        }
        m_pData = image.data() + package->offset;
        size = package->size;
    } else if (image.size() >= 4 && image[0] == 0x7F && image[1] == 'E' && image[2] == 'L'
        && image[3] == 'F') {
        error = path + ": an executable that carries no package";
        return false;
    } else if (image.size() < 4 || image[0] != 'P' || image[1] != 'K') {
        error = path + ": " + NotPlayable;
        return false;
    }
    // ZIP offsets are 32-bit: an archive cannot be larger.
    if (size > 0xFFFFFFFFu) {
        error = path + ": too large for a package (over 4 GB)";
        return false;
    }
    m_nSize = DWORD(size);
    return OpenPackage(error);
}

bool COpenedFile::OpenPackage(std::string& error)
{
    CZipMemoryBlock block;
    block.Attach(m_pData, m_nSize);
    CZipReader zip;
    bool settingsFound = false;
    bool movieFound = false;
    try {
        zip.Open(block);
        for (int i = 0; i < zip.GetEntryCount(); ++i) {
            const CZipEntryHeader* header = zip.GetEntryHeader(i);
            if (header->IsDirectory())
                continue;
            settingsFound = settingsFound || IsSettingsName(header->GetFileName());
            movieFound = movieFound || IsMovieName(header->GetFileName());
        }
        zip.Close();
    } catch (const CZipException& e) {
        zip.Close(CZipReader::closeAfterException);
        error = m_strPath + ": a damaged package: " + std::string(DescribeCause(e.cause, true));
        return false;
    }
    // Another kind of ZIP archive (a document, a program's) is no package:
    // nothing of it is unpacked.
    if (!settingsFound && !movieFound) {
        error = m_strPath + ": no movie (*.swf) in the package";
        return false;
    }
    m_bNeedsSettings = !settingsFound;
    CString carried = settingsFound ? CarriedPackageId(m_pData, m_nSize) : CString();
    m_strId = IsValidPackageId(carried) ? std::string(carried) : ContentId("pkg-", m_pData, m_nSize);
    return true;
}

bool COpenedFile::OpenFolder(const std::string& folder, const std::string& movie, std::string& error)
{
    DIR* listing = ::opendir(folder.c_str());
    if (!listing && movie.empty()) {
        error = m_strPath + ": " + Reason(errno);
        return false;
    }
    // The folder's plain files, by name in byte order.
    std::vector<File> found;
    if (listing) {
        int fd = ::dirfd(listing);
        while (dirent* entry = ::readdir(listing)) {
            std::string name = entry->d_name;
            if (name.starts_with(".") || !IsPlainName(name))
                continue;
            struct stat info { };
            if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
                continue;
            found.push_back({ name, folder + "/" + name, std::uint64_t(info.st_size) });
        }
        ::closedir(listing);
    }
    std::sort(found.begin(), found.end(), [](const File& a, const File& b) { return a.name < b.name; });

    std::string mainMovie;
    std::vector<File> chosen;
    std::optional<std::string> folderSettings;
    if (!movie.empty()) {
        // The movie opened, whatever its name; the folder's package.ini is
        // another package's and stays behind.
        struct stat info { };
        if (::stat(movie.c_str(), &info) != 0) {
            error = m_strPath + ": " + Reason(errno);
            return false;
        }
        std::string name = BaseName(movie);
        mainMovie = IsPlainName(name) ? name : PlainMovieName;
        chosen.push_back({ mainMovie, movie, std::uint64_t(info.st_size) });
        std::erase_if(found, [&](const File& f) { return f.name == mainMovie || f.name == SettingsName; });
        auto id = FileContentId("swf-", movie);
        if (!id) {
            error = m_strPath + ": " + Reason(errno ? errno : EACCES);
            return false;
        }
        m_strId = *id;
    } else {
        auto settings
            = std::find_if(found.begin(), found.end(), [](const File& f) { return f.name == SettingsName; });
        if (settings != found.end()) {
            folderSettings = ReadSmallFile(settings->hostPath);
            if (!folderSettings) {
                error = m_strPath + "/" + SettingsName + ": cannot be read as the package's settings";
                return false;
            }
            mainMovie = platform::FindProfileValue(*folderSettings, "SETTINGS", "mainmovie").value_or("");
            chosen.push_back(*settings);
            found.erase(settings);
        } else {
            auto first
                = std::find_if(found.begin(), found.end(), [](const File& f) { return IsMovieName(f.name); });
            if (first == found.end()) {
                error = m_strPath + ": no movie (*.swf) in the folder";
                return false;
            }
            mainMovie = first->name;
        }
        auto main
            = std::find_if(found.begin(), found.end(), [&](const File& f) { return f.name == mainMovie; });
        std::optional<std::string> movieId;
        if (main != found.end()) {
            movieId = FileContentId("swf-", main->hostPath);
            chosen.push_back(*main);
            found.erase(main);
        }
        std::string carried = folderSettings
            ? platform::FindProfileValue(*folderSettings, "SETTINGS", "id").value_or("")
            : std::string();
        if (IsValidPackageId(carried))
            m_strId = carried;
        else if (movieId)
            m_strId = *movieId;
        else if (folderSettings)
            m_strId = ContentId(
                "pkg-", reinterpret_cast<const BYTE*>(folderSettings->data()), folderSettings->size());
        else
            m_strId = ContentId("pkg-", nullptr, 0);
    }

    // The siblings, within the bounds.
    std::uint64_t total = 0;
    std::size_t count = 0;
    for (File& file : found) {
        if (count >= MaxSiblingFiles)
            break;
        if (total + file.size > MaxSiblingBytes)
            continue;
        total += file.size;
        ++count;
        chosen.push_back(std::move(file));
    }
    std::sort(chosen.begin(), chosen.end(), [](const File& a, const File& b) { return a.name < b.name; });
    m_files = std::move(chosen);
    if (!folderSettings)
        m_strSettings = MakeSettings(mainMovie, m_strId);
    return true;
}

void COpenedFile::DiscardPages() const
{
    if (!m_pData || !m_nSize)
        return;
    auto page = uintptr_t(::sysconf(_SC_PAGESIZE));
    uintptr_t first = (uintptr_t(m_pData) + page - 1) / page * page;
    uintptr_t last = (uintptr_t(m_pData) + m_nSize) / page * page;
    if (first < last)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

bool COpenedFile::CopyInto(const std::string& workspace, std::string& error) const
{
    for (const File& file : m_files) {
        // The opened movie is followed as it was named; the folder's other
        // files were plain files when listed and must still be.
        bool opened = file.hostPath == m_strHostPath;
        int from = ::open(file.hostPath.c_str(), O_RDONLY | O_CLOEXEC | (opened ? 0 : O_NOFOLLOW));
        if (from < 0) {
            error = file.hostPath + ": " + Reason(errno);
            return false;
        }
        struct stat info { };
        if (::fstat(from, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(from);
            error = file.hostPath + ": " + NotPlayable;
            return false;
        }
        std::string target = workspace + "/" + file.name;
        int to = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (to < 0) {
            ::close(from);
            error = target + ": " + Reason(errno);
            return false;
        }
        bool copied = CopyFileBytes(from, to, file.size);
        int copyError = errno;
        ::close(from);
        if (::close(to) != 0 && copied) {
            copied = false;
            copyError = errno;
        }
        if (!copied) {
            error = file.hostPath + ": " + Reason(copyError);
            return false;
        }
    }
    return m_strSettings.empty() || WriteSettings(workspace, m_strSettings, error);
}

bool COpenedFile::WriteSettings(const std::string& workspace, const std::string& text, std::string& error)
{
    std::string target = workspace + "/" + SettingsName;
    int to = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool written = to >= 0 && ::write(to, text.data(), text.size()) == ssize_t(text.size());
    int writeError = errno;
    if (to >= 0 && ::close(to) != 0 && written) {
        written = false;
        writeError = errno;
    }
    if (!written)
        error = target + ": " + Reason(writeError);
    return written;
}
