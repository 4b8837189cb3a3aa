#include "tools/pack/BuildWriter.h"

#include "tools/pack/BuildInputs.h"
#include "tools/pack/BuildOptions.h"
#include "tools/pack/CarriedFiles.h"
#include "tools/pack/OutputFile.h"
#include "tools/pack/Result.h"

#include "app/PackagePassword.h"
#include "platform/FileException.h"
#include "platform/ResourceTable.h"
#include "platform/Resources.h"
#include "res/ResourceIds.h"
#include "zip/ZipException.h"
#include "zip/ZipFile.h"
#include "zip/ZipFileSystem.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipRecords.h"
#include "zip/ZipWriter.h"

#include <algorithm>

namespace {

// Unix regular file, rw------- in the high word; the MS-DOS archive bit.
constexpr DWORD FileAttributes = 0x81800020;
// Unix folder, rwx------ in the high word; the MS-DOS directory bit.
constexpr DWORD FolderAttributes = 0x41C00010;
constexpr unsigned OutputMode = 0755;

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

// Writes `size` bytes as the resource `type`/`id` and lists it.
void WriteResource(COutputFile& output, platform::ResourceType type, DWORD id, const BYTE* data,
    std::uint64_t size, std::vector<platform::ResourceEntry>& resources)
{
    resources.push_back({ std::move(type), id, 0, output.Size(), size });
    WriteBytes(output, data, size);
}

// Everything after the player's image.
void WriteResources(const BuildOptions& options, const std::vector<BuildItem>& items,
    const CarriedFiles& files, COutputFile& output, std::vector<platform::ResourceEntry>& resources)
{
    platform::ResourceEntry package { std::string(RT_PACKAGE), IDR_PACKAGE, 0, output.Size(), 0 };
    if (options.readyZip)
        WriteBytes(output, files.zip.file.data(), files.zip.file.size());
    else
        WritePackage(options, items, output);
    package.size = output.Size() - package.offset;
    resources.push_back(package);

    if (!files.control.path.empty())
        WriteResource(output, std::string(RT_FLASH_CONTROL), IDR_FLASH_CONTROL, files.control.file.data(),
            files.control.file.size(), resources);
    if (options.title)
        WriteResource(output, platform::RT_STRING, IDS_TITLE,
            reinterpret_cast<const BYTE*>(options.title->data()), options.title->size(), resources);
    if (!files.icon.path.empty())
        WriteResource(output, platform::RT_GROUP_ICON, IDR_MAINFRAME, files.icon.file.data(),
            files.icon.file.size(), resources);
    std::vector<BYTE> table = platform::SerializeResourceTable(resources, output.Size());
    WriteBytes(output, table.data(), table.size());
}

} // namespace

Result<std::uint64_t> WriteOutput(const BuildOptions& options, const std::vector<BuildItem>& items,
    const CarriedFiles& files, std::uint64_t playerSize)
{
    COutputFile output;
    TRY(output.Create(options.output));
    std::vector<platform::ResourceEntry> resources;
    try {
        WriteBytes(output, files.player.file.data(), playerSize);
        WriteResources(options, items, files, output, resources);
        output.Commit(OutputMode);
    } catch (const CZipException& e) {
        return Failure::Zip(e);
    } catch (const CFileException& e) {
        return Failure::File(e);
    }
    return resources.front().size;
}
