// The movies of the end-to-end tests of movie headers and play-all: versions,
// compression and movies whose frames cannot be counted.

#include "tests/e2e/TestMovies.h"

void WriteHeaderMovies(const std::string&)
{
}
