#include "control/PackageFiles.h"

#include "control/PercentEncoding.h"

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::optional<PackageFile> OpenRegular(int folderFd, const char* name)
{
    int fd = openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat status { };
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    // Reading a regular file never blocks; the flag only kept a FIFO from
    // holding the open.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return PackageFile { fd, std::uint64_t(status.st_size), name };
}

} // namespace

std::optional<std::string> PackageFileName(std::string_view path)
{
    path = path.substr(0, path.find_first_of("?#"));
    std::string decoded = *PercentDecode(path, false);
    size_t slash = decoded.find_last_of("/\\");
    std::string name = slash == std::string::npos ? decoded : decoded.substr(slash + 1);
    if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string::npos)
        return std::nullopt;
    return name;
}

std::string PackageUrl(std::string_view name)
{
    return std::string(PackageBase) + PercentEncode(name, [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~';
    });
}

std::optional<PackageFile> OpenPackageFile(const std::string& folder, const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return std::nullopt;
    int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return std::nullopt;
    std::optional<PackageFile> file = OpenRegular(folderFd, name.c_str());
    if (!file) {
        struct stat status { };
        bool exists = fstatat(folderFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
        if (!exists) {
            if (DIR* listing = fdopendir(dup(folderFd))) {
                while (dirent* entry = readdir(listing)) {
                    if (EqualsIgnoringAsciiCase(entry->d_name, name)) {
                        file = OpenRegular(folderFd, entry->d_name);
                        break;
                    }
                }
                closedir(listing);
            }
        }
    }
    close(folderFd);
    return file;
}

std::string_view ContentTypeFor(std::string_view name)
{
    static const struct {
        std::string_view extension;
        std::string_view type;
    } s_types[] = {
        { "swf", "application/x-shockwave-flash" },
        { "spl", "application/futuresplash" },
        { "xml", "text/xml" },
        { "txt", "text/plain" },
        { "json", "application/json" },
        { "html", "text/html" },
        { "htm", "text/html" },
        { "css", "text/css" },
        { "js", "text/javascript" },
        { "jpg", "image/jpeg" },
        { "jpeg", "image/jpeg" },
        { "png", "image/png" },
        { "gif", "image/gif" },
        { "bmp", "image/bmp" },
        { "svg", "image/svg+xml" },
        { "mp3", "audio/mpeg" },
        { "wav", "audio/wav" },
        { "ogg", "audio/ogg" },
        { "flv", "video/x-flv" },
        { "mp4", "video/mp4" },
        { "m4v", "video/mp4" },
        { "f4v", "video/mp4" },
        { "ttf", "font/ttf" },
        { "otf", "font/otf" },
        { "ttc", "font/collection" },
    };
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return "application/octet-stream";
    std::string_view extension = name.substr(dot + 1);
    for (const auto& entry : s_types) {
        if (EqualsIgnoringAsciiCase(entry.extension, extension))
            return entry.type;
    }
    return "application/octet-stream";
}
