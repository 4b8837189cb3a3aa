#include "tools/pack/BuildInputs.h"

#include "tools/pack/Result.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sizes and offsets of a ZIP archive without Zip64 are 32-bit.
constexpr off_t MaxFileSize = 0xFFFFFFFE;

Failure Reason(const std::string& path, int error)
{
    return Failure::Error(path + ": " + std::strerror(error));
}

// A regular file that can be opened for reading and fits in an entry.
Result<void> CheckFile(const std::string& path, const struct stat& info)
{
    if (info.st_size > MaxFileSize)
        return Failure::Error(path + ": larger than the 4 GB a package entry can hold");
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Reason(path, errno);
    ::close(fd);
    return {};
}

BuildItem MakeItem(const std::string& entryName, const std::string& path, const struct stat& info)
{
    BuildItem item;
    item.entryName = entryName;
    item.path = path;
    item.folder = S_ISDIR(info.st_mode);
    item.modified = info.st_mtime;
    item.device = info.st_dev;
    item.inode = info.st_ino;
    return item;
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Adds what `folder` holds, its entries named `prefix` + their path below it.
Result<void> CollectFolder(const std::string& folder, const std::string& prefix,
    std::vector<BuildItem>& items, std::vector<std::string>& notes)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return Reason(folder, errno);
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    if (errno != 0)
        return Reason(folder, errno);
    dir.reset();
    std::sort(names.begin(), names.end());

    for (const std::string& name : names) {
        std::string path = JoinPath(folder, name);
        struct stat link { };
        struct stat info { };
        if (::lstat(path.c_str(), &link) != 0)
            return Reason(path, errno);
        if (::stat(path.c_str(), &info) != 0)
            return S_ISLNK(link.st_mode) ? Failure::Error(path + ": a symbolic link to nothing")
                                         : Reason(path, errno);
        if (S_ISDIR(info.st_mode)) {
            if (S_ISLNK(link.st_mode)) {
                notes.push_back(path + ": a symbolic link to a folder; not followed");
                continue;
            }
            items.push_back(MakeItem(prefix + name + "/", path, info));
            TRY(CollectFolder(path, prefix + name + "/", items, notes));
        } else if (S_ISREG(info.st_mode)) {
            TRY(CheckFile(path, info));
            items.push_back(MakeItem(prefix + name, path, info));
        } else {
            return Failure::Error(path + ": neither a file nor a folder");
        }
    }
    return {};
}

} // namespace

Result<BuildItem> MakeFileItem(const std::string& path, const std::string& entryName)
{
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0)
        return Reason(path, errno);
    if (!S_ISREG(info.st_mode))
        return Failure::Error(path + ": not a file");
    TRY(CheckFile(path, info));
    return MakeItem(entryName, path, info);
}

Result<void> CollectBuildInputs(
    const std::vector<std::string>& inputs, std::vector<BuildItem>& items, std::vector<std::string>& notes)
{
    for (const std::string& input : inputs) {
        struct stat info { };
        if (input.empty() || ::stat(input.c_str(), &info) != 0)
            return Reason(input, input.empty() ? ENOENT : errno);
        if (S_ISDIR(info.st_mode))
            TRY(CollectFolder(input, "", items, notes));
        else if (S_ISREG(info.st_mode))
            items.push_back(TRY(MakeFileItem(input, EntryBaseName(input))));
        else
            return Failure::Error(input + ": neither a file nor a folder");
    }
    return {};
}

std::string EntryBaseName(const std::string& entryName)
{
    std::string name = entryName;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    size_t slash = name.find_last_of('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string MakeSettingsText(const std::string& mainMovie, bool fullScreen, bool playAll)
{
    std::string text = "[SETTINGS]\r\n";
    text += fullScreen ? "fullscreen=true\r\n" : "fullscreen=false\r\n";
    text += "mainmovie=" + mainMovie + "\r\n";
    if (playAll)
        text += "type=all\r\n";
    return text;
}
