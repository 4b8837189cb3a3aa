#pragma once

#include "platform/MappedFile.h"

#include <cstdint>
#include <string>

struct BuildOptions;
template<typename T> class Result;

// A file the output carries whole or in part, mapped once it is read.
struct ResourceInput {
    std::string path {};
    CMappedFile file {};
};

// The files of a build besides the package's entries: the player, the Flash
// control, the ready .zip and the icon. An empty path is one the build does
// without.
struct CarriedFiles {
    ResourceInput player {};
    ResourceInput control {};
    ResourceInput zip {};
    ResourceInput icon {};
};

// Where the files are: as the options name them, else the player and the
// control beside quorvel-pack (the build tree; the bare player in an
// installed bin/), then in ../lib/quorvel (where an installation keeps the
// control). Notes a build without a control it was not told to leave out.
void LocateCarriedFiles(const BuildOptions& options, CarriedFiles& files);

// Maps every file there is; checks the ready .zip and decodes the icon
// whole, so that a PNG the player could not show is refused here.
Result<void> MapCarriedFiles(CarriedFiles& files);

// The size of the player's executable image, without whatever resources it
// carried; fails for an empty one.
Result<std::uint64_t> PlayerImageSize(const ResourceInput& player);
