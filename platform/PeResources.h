#pragma once

#include "platform/ResourceTable.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

// The resources a Windows executable (a PE/COFF image, 32-bit PE32 or 64-bit
// PE32+) carries in its resource section: the tree the optional header's
// resource data directory points to, read from the file as it lies on disk.
namespace platform {

struct PeResource {
    // An integer or a name (UTF-16 in the file, UTF-8 here), for the type
    // and for the resource itself.
    ResourceType type {};
    ResourceType name {};
    WORD language { 0 };
    // Where the data lies in the file.
    std::uint64_t offset { 0 };
    std::uint64_t size { 0 };
};

// Whether `image` begins as a Windows executable does: the "MZ" of its
// MS-DOS header.
bool LooksLikePeImage(std::span<const BYTE> image);

// Every resource of the image, in the order of its tree (type, name,
// language). An image without a resource directory has none. Nothing, with
// the reason in `error`, for an image that is not sound: headers cut short,
// an unknown optional header, alignments the format does not allow, sections
// or directories outside the file, a tree that loops or is deeper than
// three levels, data outside the file.
std::optional<std::vector<PeResource>> ParsePeResources(std::span<const BYTE> image, std::string& error);

} // namespace platform
