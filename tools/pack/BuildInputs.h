#pragma once

#include <ctime>
#include <string>
#include <sys/types.h>
#include <vector>

template<typename T> class Result;

// One entry-to-be of a package that `build` makes: a file or folder on disk,
// or bytes made up by the packager (the settings file).
struct BuildItem {
    // "/" between folders; a folder's name ends in "/".
    std::string entryName {};
    // Where the bytes come from; empty for made-up bytes.
    std::string path {};
    std::string content {};
    // The input the entry was read from when its bytes are `content`: a
    // Windows player (for messages and the output check).
    std::string origin {};
    // The bytes are `content` although `path` is set: a settings file given
    // by path that the build changed (its id).
    bool edited { false };
    bool folder { false };
    std::time_t modified { 0 };
    dev_t device { 0 };
    ino_t inode { 0 };
};

// Where the entry comes from, as messages name it.
inline const std::string& SourceName(const BuildItem& item)
{
    return item.path.empty() ? item.origin : item.path;
}

// The entries for the INPUT arguments, in argument order. A file is one entry
// under its base name. A folder contributes what it holds, named relative to
// it: its subfolders (as folder entries, each before its contents) and files,
// by name in byte order, recursively. Symbolic links given as INPUT are
// followed; inside a folder, links to files are followed and links to
// folders skipped with a note. Fails for a missing or unreadable input, a
// file over 4 GB, or anything that is neither a file nor a folder.
Result<void> CollectBuildInputs(
    const std::vector<std::string>& inputs, std::vector<BuildItem>& items, std::vector<std::string>& notes);

// A file given by path (--ini): checked as CollectBuildInputs checks files.
Result<BuildItem> MakeFileItem(const std::string& path, const std::string& entryName);

// The part after the last "/" (a folder's name keeps no trailing "/").
std::string EntryBaseName(const std::string& entryName);

// The settings file written from the options, CR LF line ends (without an id).
std::string MakeSettingsText(const std::string& mainMovie, bool fullScreen, bool playAll);
