#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

// The usage text of quorvel-pack: every verb with its synopsis and options.
// The manual page (quorvel-pack.1) and the bash completion follow it.

// The whole usage.
void PrintUsage(std::FILE* out);

// The usage of `verb` alone; false when there is no such verb.
bool PrintVerbUsage(std::string_view verb, std::FILE* out);

// `reason` (when not empty) and the usage of `verb` on standard error;
// returns the exit status of a usage error.
int VerbUsageError(std::string_view verb, const std::string& reason);

// Whether `arguments` ask for help: "--help" or "-h" before any "--".
bool AsksForHelp(std::span<char* const> arguments);
