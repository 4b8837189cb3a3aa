#pragma once

#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

struct BuildItem;
struct CarriedFiles;
template<typename T> class Result;

// What is at OUTPUT before the build: nothing, or a file it may replace.
struct OutputPlace {
    std::optional<struct stat> existing {};
};

// Fails when OUTPUT is there and is not a file.
Result<OutputPlace> CheckOutputPlace(const std::string& output);

// Fails when the file at OUTPUT is one of the build's inputs: an entry's
// source or a carried file.
Result<void> CheckOutputIsNoInput(
    const OutputPlace& place, const std::vector<BuildItem>& items, const CarriedFiles& files);
