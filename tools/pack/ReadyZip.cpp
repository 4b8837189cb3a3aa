#include "tools/pack/ReadyZip.h"

#include "tools/pack/Messages.h"
#include "tools/pack/Result.h"

#include "app/PackagePassword.h"
#include "movie/MovieName.h"
#include "platform/MappedFile.h"
#include "zip/ZipException.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"

#include <algorithm>
#include <sys/stat.h>

bool IsReadyZip(const std::vector<std::string>& inputs)
{
    if (inputs.size() != 1)
        return false;
    const std::string& input = inputs.front();
    if (input.size() < 4)
        return false;
    std::string tail = input.substr(input.size() - 4);
    std::transform(
        tail.begin(), tail.end(), tail.begin(), [](char c) { return char(std::tolower(BYTE(c))); });
    struct stat info { };
    return tail == ".zip" && ::stat(input.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

Result<void> CheckReadyZip(const CMappedFile& zip, const std::string& path)
{
    if (zip.size() > 0xFFFFFFFFu)
        return Failure::Error(path + ": too large for a package (over 4 GB)");
    CZipMemoryBlock block;
    block.Attach(zip.data(), DWORD(zip.size()));
    CZipReader reader;
    int files = 0;
    int movies = 0;
    try {
        reader.Open(block);
        reader.SetPassword(PackagePassword);
        std::vector<BYTE> buffer(CZipReader::DefaultBufferSize);
        for (int i = 0; i < reader.GetEntryCount(); ++i) {
            CZipEntryHeader* header = reader.GetEntryHeader(i);
            if (header->IsDirectory())
                continue;
            ++files;
            if (IsMovieName(header->GetFileName()))
                ++movies;
            if (!reader.OpenEntry(WORD(i)))
                throw CZipException(ZipErrorCause::Damaged);
            while (reader.ReadEntry(buffer.data(), DWORD(buffer.size())) != 0) { }
            if (reader.CloseEntry() != CZipReader::EntryClose::closed)
                throw CZipException(ZipErrorCause::Damaged);
        }
        reader.Close();
    } catch (const CZipException& e) {
        reader.Close(CZipReader::closeAfterException);
        CString text = DescribeCause(e.cause, true);
        return Failure::Error(path + ": not a package the player can unpack: " + text);
    }
    if (movies == 0)
        return Failure::Error(path + ": holds no movie (*.swf)");
    if (files < 2)
        PrintMessage(MessageKind::note,
            path + " holds fewer than two files; the player ends at once with such a package");
    return {};
}
