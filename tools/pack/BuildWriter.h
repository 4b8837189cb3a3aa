#pragma once

#include <cstdint>
#include <vector>

struct BuildItem;
struct BuildOptions;
struct CarriedFiles;
template<typename T> class Result;

// Writes OUTPUT: the first `playerSize` bytes of the player, the package (the
// ready .zip as it is, or an archive of `items`), the Flash control, the
// title and the icon, then the resource table and its trailer; under a
// temporary name that is renamed over OUTPUT once the whole is on disk.
// Gives the package's size.
Result<std::uint64_t> WriteOutput(const BuildOptions& options, const std::vector<BuildItem>& items,
    const CarriedFiles& files, std::uint64_t playerSize);
