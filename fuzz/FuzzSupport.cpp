#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace fuzz {

const std::string& ScratchFolder()
{
    // Never freed: the exit handler below still needs the path after static
    // objects are gone.
    static const std::string* s_folder = [] {
        std::error_code error;
        fs::path base = fs::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0
            ? fs::path("/dev/shm")
            : fs::temp_directory_path();
        std::string pattern = (base / "quorvel-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            EmptyScratchFolder();
            fs::remove(ScratchFolder(), ignored);
        });
        return new std::string(pattern);
    }();
    return *s_folder;
}

void EmptyScratchFolder()
{
    std::error_code error;
    for (auto it = fs::directory_iterator(ScratchFolder(), error); it != fs::directory_iterator();
         it.increment(error)) {
        // Entries may have made read-only folders; give the owner its rights back first.
        if (it->is_directory(error) && !it->is_symlink(error)) {
            for (auto inner = fs::recursive_directory_iterator(it->path(), error);
                 inner != fs::recursive_directory_iterator(); inner.increment(error)) {
                if (inner->is_directory(error) && !inner->is_symlink(error))
                    fs::permissions(inner->path(), fs::perms::owner_all, fs::perm_options::add, error);
            }
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        }
        fs::remove_all(it->path(), error);
    }
}

std::string WriteInputFile(const std::uint8_t* data, std::size_t size)
{
    std::string path = ScratchFolder() + "/input";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
    return path;
}

} // namespace fuzz
