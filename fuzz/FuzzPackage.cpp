// A package from memory: open it, set the package password and extract every
// entry the way start-up does (bare names, 64 KB transfers) into a scratch
// folder. Damaged input must end in a CZipException or a CFileException and
// nothing else.

#include "FuzzSupport.h"

#include "app/PackagePassword.h"
#include "platform/FileException.h"
#include "zip/ZipException.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"

#include <cstdlib>
#include <sys/stat.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string s_target = fuzz::ScratchFolder() + "/out";
    fuzz::EmptyScratchFolder();
    ::mkdir(s_target.c_str(), 0700);

    CZipMemoryBlock block;
    block.Attach(data, DWORD(size));
    CZipReader zip;
    try {
        zip.Open(block);
        zip.SetPassword(PackagePassword);
        for (int i = 0; i < zip.GetEntryCount(); ++i)
            zip.ExtractEntry(i, s_target.c_str(), false, nullptr, CZipReader::DefaultBufferSize);
        zip.Close();
    } catch (const CZipException&) {
        zip.Close(CZipReader::closeAfterException);
    } catch (const CFileException&) {
        zip.Close(CZipReader::closeAfterException);
    }
    return 0;
}
