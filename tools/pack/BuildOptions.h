#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

template<typename T> class Result;

// What `quorvel-pack build` was asked to do.
struct BuildOptions {
    std::string output {};
    std::optional<std::string> mainMovie {};
    bool playAll { false };
    bool fullScreen { false };
    std::optional<std::string> ini {};
    std::optional<std::string> id {};
    std::optional<std::string> title {};
    std::optional<std::string> icon {};
    bool encrypt { true };
    bool store { false };
    bool noControl { false };
    std::optional<std::string> control {};
    std::optional<std::string> player {};
    std::vector<std::string> inputs {};
    // The one INPUT is a .zip file, carried as it is (IsReadyZip).
    bool readyZip { false };
};

// The options and inputs after the verb, checked against each other; a
// usage failure for an unknown option, a missing value, or options that
// exclude each other.
Result<BuildOptions> ParseBuildOptions(std::span<char* const> arguments);
