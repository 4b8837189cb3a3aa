#pragma once

#include <span>
#include <string_view>

// One verb of quorvel-pack (its usage is in tools/pack/Usage.cpp).
// `arguments` are those after the verb. The result is the exit status: 0
// success, 1 usage error, 2 an error reading or writing a package, movie or
// file, 3 entries that did not extract completely.
struct PackCommand {
    std::string_view name;
    int (*run)(std::span<char* const> arguments);
};

enum PackStatus : int {
    StatusOk = 0,
    StatusUsage = 1,
    StatusError = 2,
    StatusIncomplete = 3,
};

int RunList(std::span<char* const> arguments);
int RunExtract(std::span<char* const> arguments);
int RunInfo(std::span<char* const> arguments);
int RunBuild(std::span<char* const> arguments);
int RunInstall(std::span<char* const> arguments);
int RunUninstall(std::span<char* const> arguments);
