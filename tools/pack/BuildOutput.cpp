#include "tools/pack/BuildOutput.h"

#include "tools/pack/BuildInputs.h"
#include "tools/pack/CarriedFiles.h"
#include "tools/pack/Result.h"

namespace {

// Whether `path` names the file that OUTPUT would replace.
bool IsOutput(const std::string& path, const struct stat& output)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0 && info.st_dev == output.st_dev && info.st_ino == output.st_ino;
}

Failure ReplacesInput(const std::string& input)
{
    return Failure::Error(input + " is the output; OUTPUT must not replace an input");
}

} // namespace

Result<OutputPlace> CheckOutputPlace(const std::string& output)
{
    struct stat info { };
    if (::stat(output.c_str(), &info) != 0)
        return OutputPlace {};
    if (!S_ISREG(info.st_mode))
        return Failure::Error(output + ": exists and is not a file");
    return OutputPlace { info };
}

Result<void> CheckOutputIsNoInput(
    const OutputPlace& place, const std::vector<BuildItem>& items, const CarriedFiles& files)
{
    if (!place.existing)
        return {};
    const struct stat& output = *place.existing;
    for (const BuildItem& item : items) {
        if (!SourceName(item).empty() && item.device == output.st_dev && item.inode == output.st_ino)
            return ReplacesInput(SourceName(item));
    }
    for (const ResourceInput* input : { &files.player, &files.control, &files.zip, &files.icon }) {
        if (!input->path.empty() && IsOutput(input->path, output))
            return ReplacesInput(input->path);
    }
    return {};
}
