#pragma once

#include <string>
#include <utility>
#include <vector>

// A stand-in executable for start-up tests: a few bytes of "program", then
// `zip` appended as the package resource (no resources at all when `zip` is
// null).
void WritePackagedModule(const std::string& path, const std::vector<unsigned char>* zip);

// Makes a ZIP archive with Python's zipfile: each pair is (name, content);
// a name ending in "/" is a folder entry. Names may repeat.
std::vector<unsigned char> MakeZip(const std::vector<std::pair<std::string, std::string>>& entries);
