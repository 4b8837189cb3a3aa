#pragma once

#include <string>
#include <vector>

// A stand-in executable for start-up tests: a few bytes of "program", then
// `zip` appended as the package resource (no resources at all when `zip` is
// null).
void WritePackagedModule(const std::string& path, const std::vector<unsigned char>* zip);
