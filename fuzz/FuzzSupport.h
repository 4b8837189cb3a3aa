#pragma once

// What the fuzz targets share: a private scratch folder made once per
// process, emptied between inputs, and a file that holds the current input.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// A folder of our own for this process (under /dev/shm when it is there, as
// disk writes would slow every run down).
const std::string& ScratchFolder();

// Removes everything inside the scratch folder, links as links.
void EmptyScratchFolder();

// Writes `data` to one file in the scratch folder and returns its path.
std::string WriteInputFile(const std::uint8_t* data, std::size_t size);

} // namespace fuzz
