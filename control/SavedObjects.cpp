#include "control/SavedObjects.h"

#include "control/PercentEncoding.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* Signature = "quorvel saved data 1";

std::string Escape(const std::string& text)
{
    return PercentEncode(
        text, [](unsigned char c) { return c != '%' && c != ' ' && c >= 0x20 && c != 0x7F; });
}

bool Unescape(const std::string& text, std::string& out)
{
    std::optional<std::string> decoded = PercentDecode(text, true);
    if (!decoded)
        return false;
    out = std::move(*decoded);
    return true;
}

// Makes `path` and the folders above it, private to the user.
bool MakeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat status { };
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace

void CSavedObjects::Open(const std::string& folder)
{
    m_strFolder = folder;
    m_items.clear();
    if (folder.empty())
        return;
    std::ifstream in(folder + "/" + FileName(), std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line) || line != Signature)
        return;
    std::map<std::string, std::string> items;
    while (std::getline(in, line)) {
        size_t space = line.find(' ');
        std::string key;
        std::string value;
        if (space == std::string::npos || !Unescape(line.substr(0, space), key)
            || !Unescape(line.substr(space + 1), value))
            return;
        items[key] = value;
    }
    m_items = std::move(items);
}

void CSavedObjects::Set(const std::string& key, const std::string& value)
{
    auto found = m_items.find(key);
    if (found != m_items.end() && found->second == value)
        return;
    m_items[key] = value;
    Write();
}

void CSavedObjects::Remove(const std::string& key)
{
    if (m_items.erase(key))
        Write();
}

void CSavedObjects::Clear()
{
    if (m_items.empty())
        return;
    m_items.clear();
    Write();
}

void CSavedObjects::Write()
{
    if (m_strFolder.empty())
        return;
    m_bWritten = false;
    if (!MakeFolders(m_strFolder))
        return;
    std::string text = std::string(Signature) + "\n";
    for (const auto& [key, value] : m_items)
        text += Escape(key) + " " + Escape(value) + "\n";
    std::string target = m_strFolder + "/" + FileName();
    std::string temporary = target + ".new-" + std::to_string(getpid());
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        done += size_t(written);
    }
    bool complete = done == text.size() && fsync(fd) == 0;
    if (close(fd) != 0)
        complete = false;
    if (!complete || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return;
    }
    m_bWritten = true;
}
