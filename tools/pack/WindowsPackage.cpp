#include "tools/pack/WindowsPackage.h"

#include "app/PackagePassword.h"
#include "tools/pack/PackageFile.h"
#include "tools/pack/Result.h"
#include "zip/ZipException.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sys/stat.h>

bool IsWindowsExecutable(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    char magic[2] {};
    return in.read(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

Result<void> CollectWindowsPackage(const std::string& path, std::vector<BuildItem>& items)
{
    CPackageFile package;
    TRY(package.Open(path.c_str()));
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0)
        return Failure::Error(path + ": " + std::strerror(errno));
    CZipMemoryBlock block;
    block.Attach(package.data(), package.size());
    CZipReader reader;
    std::vector<BuildItem> found;
    try {
        reader.Open(block);
        reader.SetPassword(PackagePassword);
        std::vector<BYTE> buffer(CZipReader::DefaultBufferSize);
        for (int i = 0; i < reader.GetEntryCount(); ++i) {
            const CZipEntryHeader* header = reader.GetEntryHeader(i);
            BuildItem item;
            item.origin = path;
            item.device = info.st_dev;
            item.inode = info.st_ino;
            // The reader names entries with the Windows separator.
            item.entryName = header->GetFileName();
            std::replace(item.entryName.begin(), item.entryName.end(), '\\', '/');
            item.folder = header->IsDirectory();
            item.modified = header->GetModificationTime();
            if (item.modified == std::time_t(-1))
                item.modified = std::time(nullptr);
            if (item.folder && !item.entryName.ends_with('/'))
                item.entryName += '/';
            if (!item.folder) {
                if (!reader.OpenEntry(WORD(i)))
                    throw CZipException(ZipErrorCause::Damaged);
                while (DWORD n = reader.ReadEntry(buffer.data(), DWORD(buffer.size())))
                    item.content.append(reinterpret_cast<const char*>(buffer.data()), n);
                if (reader.CloseEntry() != CZipReader::EntryClose::closed)
                    throw CZipException(ZipErrorCause::Damaged);
            }
            found.push_back(std::move(item));
        }
        reader.Close();
    } catch (const CZipException& e) {
        reader.Close(CZipReader::closeAfterException);
        return Failure::Error(
            path + ": not a package the player can unpack: " + std::string(DescribeCause(e.cause, true)));
    }
    items.insert(items.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    return {};
}
