#include "support/ScratchFolder.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

ScratchFolder::ScratchFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a scratch folder");
    m_path = pattern;
}

ScratchFolder::~ScratchFolder()
{
    // Folders a test made read-only must not keep their contents alive.
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            std::filesystem::permissions(
                it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(m_path, error);
}
