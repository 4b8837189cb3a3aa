#pragma once

#include <string>
#include <vector>

struct BuildItem;
struct BuildOptions;
template<typename T> class Result;

// The entries of the INPUTs in argument order: files and folders as they
// are, a Windows player's package entry by entry. Notes what was left out.
Result<void> CollectItems(const BuildOptions& options, std::vector<BuildItem>& items);

// Decides the settings entry and checks the package's contents. Adds the
// made-up package.ini in front when neither --ini nor the inputs give one,
// and gives the settings their id, which it returns.
Result<std::string> PlanPackage(const BuildOptions& options, std::vector<BuildItem>& items);
