// quorvel-pack list PACKAGE: one line per entry, in the reader's index order,
// after the title and icon that a packaged player carries.

#include "tools/pack/Command.h"
#include "tools/pack/PackageFile.h"
#include "tools/pack/PackageLook.h"
#include "tools/pack/Result.h"
#include "tools/pack/Usage.h"

#include "zip/ZipException.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"

#include <cstdio>
#include <ctime>

namespace {

const char* MethodName(WORD method)
{
    switch (method) {
    case 0:
        return "stored";
    case 8:
        return "deflated";
    default:
        return "other";
    }
}

void PrintEntry(const CZipEntryHeader& header)
{
    CString name = header.GetFileName();
    std::fwrite(name.data(), 1, name.size(), stdout);

    char when[32] = "-";
    std::time_t t = header.GetModificationTime();
    if (t != std::time_t(-1)) {
        std::tm local {};
        localtime_r(&t, &local);
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    }
    std::printf("\t%s size=%u packed=%u %s%s attributes=0x%08X made-by=%d modified=%s\n",
        header.IsDirectory() ? "folder" : "file", header.uncompressedSize, header.compressedSize,
        MethodName(header.method), header.IsEncrypted() ? " encrypted" : "", header.GetSystemAttributes(),
        header.MadeBySystem(), when);
}

// "title: TEXT" and "icon: WIDTHxHEIGHT PNG, N bytes", for those the player carries.
void PrintLook(std::span<const BYTE> image)
{
    CarriedLook look = FindCarriedLook(image);
    if (look.title)
        std::printf("title: %s\n", look.title->c_str());
    if (look.icon) {
        auto size = PngSize(*look.icon).value_or(std::pair<DWORD, DWORD> { 0, 0 });
        std::printf(
            "icon: %ux%u PNG, %zu bytes\n", unsigned(size.first), unsigned(size.second), look.icon->size());
    }
}

Result<void> List(std::span<char* const> arguments)
{
    if (arguments.size() != 1)
        return Failure::Usage("list", "");
    CPackageFile package;
    TRY(package.Open(arguments[0]));

    PrintLook(package.image());
    CZipMemoryBlock block;
    block.Attach(package.data(), package.size());
    CZipReader zip;
    try {
        zip.Open(block);
        for (int i = 0; i < zip.GetEntryCount(); ++i) {
            CZipEntryHeader header;
            zip.CopyEntryInfo(header, WORD(i));
            PrintEntry(header);
        }
        zip.Close();
    } catch (const CZipException& e) {
        zip.Close(CZipReader::closeAfterException);
        return Failure::Zip(e);
    }
    return {};
}

} // namespace

int RunList(std::span<char* const> arguments)
{
    return ExitStatus(List(arguments));
}
