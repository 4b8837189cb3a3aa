#pragma once

#include <string>
#include <vector>

class CMappedFile;
template<typename T> class Result;

// Whether the INPUTs are one .zip file (by its name, without case), which
// `build` carries as the package as it is.
bool IsReadyZip(const std::vector<std::string>& inputs);

// The bytes a ready .zip holds must be a package the player can unpack: an
// archive whose every entry reads back whole under the package password,
// with a movie among them. Notes a package of fewer than two files.
Result<void> CheckReadyZip(const CMappedFile& zip, const std::string& path);
