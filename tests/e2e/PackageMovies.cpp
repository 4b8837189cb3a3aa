// The movies of the end-to-end tests of real packages: siblings, data files,
// links, keys, sound, saved data and device text.

#include "tests/e2e/TestMovies.h"

void WritePackageMovies(const std::string&)
{
}
