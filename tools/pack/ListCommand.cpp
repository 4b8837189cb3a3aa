// quorvel-pack list PACKAGE: one line per entry, in the reader's index order.

#include "tools/pack/Command.h"
#include "tools/pack/PackageErrors.h"
#include "tools/pack/PackageFile.h"

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

} // namespace

int RunList(std::span<char* const> arguments)
{
    if (arguments.size() != 1) {
        std::fprintf(stderr, "usage: quorvel-pack list PACKAGE\n");
        return StatusUsage;
    }
    CPackageFile package;
    std::string error;
    if (!package.Open(arguments[0], error))
        return ReportError(error);

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
        return ReportZipError(e);
    }
    return StatusOk;
}
