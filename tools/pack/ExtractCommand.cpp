// quorvel-pack extract PACKAGE DIR [--password PW]: unpacks every entry into
// DIR the way the player unpacks its package into the workspace: stored
// folders dropped, 64 KB transfers, the package password unless told another.

#include "tools/pack/Command.h"
#include "tools/pack/Messages.h"
#include "tools/pack/PackageFile.h"
#include "tools/pack/Result.h"
#include "tools/pack/Usage.h"

#include "app/PackagePassword.h"
#include "platform/FileException.h"
#include "zip/ZipException.h"
#include "zip/ZipFileSystem.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"

#include <string>
#include <vector>

namespace {

Result<PackStatus> Extract(std::span<char* const> arguments)
{
    std::vector<std::string> positional;
    std::string password = PackagePassword;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (argument == "--password") {
            if (++i == arguments.size())
                return Failure::Usage("extract", "");
            password = arguments[i];
        } else if (argument.starts_with("--password=")) {
            password = argument.substr(11);
        } else if (argument.starts_with("--")) {
            return Failure::Usage("extract", "");
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.size() != 2 || positional[1].empty())
        return Failure::Usage("extract", "");
    const std::string& target = positional[1];

    CPackageFile package;
    TRY(package.Open(positional[0].c_str()));
    if (!ZipFileSystem::MakeFolderPath(target.c_str()) || !ZipFileSystem::FolderExists(target.c_str()))
        return Failure::Error(target + ": cannot create the folder");

    CZipMemoryBlock block;
    block.Attach(package.data(), package.size());
    CZipReader zip;
    PackStatus status = StatusOk;
    try {
        zip.Open(block);
        zip.SetPassword(password.c_str());
        for (int i = 0; i < zip.GetEntryCount(); ++i) {
            if (!zip.ExtractEntry(i, target.c_str(), false, nullptr, CZipReader::DefaultBufferSize)) {
                PrintMessage(MessageKind::warning,
                    std::string(zip.GetEntryHeader(i)->GetFileName().c_str()) + ": not extracted completely");
                status = StatusIncomplete;
            }
        }
        zip.Close();
    } catch (const CZipException& e) {
        zip.Close(CZipReader::closeAfterException);
        return Failure::Zip(e);
    } catch (const CFileException& e) {
        zip.Close(CZipReader::closeAfterException);
        return Failure::File(e);
    }
    return status;
}

} // namespace

int RunExtract(std::span<char* const> arguments)
{
    return ExitStatus(Extract(arguments));
}
