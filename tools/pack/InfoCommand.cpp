// quorvel-pack info MOVIE: the movie's frame size and, when its first tag
// sets one, its background colour.

#include "tools/pack/Command.h"

#include "movie/MovieHeader.h"

#include <cstdio>
#include <exception>

int RunInfo(std::span<char* const> arguments)
{
    if (arguments.size() != 1) {
        std::fprintf(stderr, "usage: quorvel-pack info MOVIE\n");
        return StatusUsage;
    }
    // No 0x00RRGGBB value looks like this, so it tells whether the header set one.
    constexpr DWORD NoColour = 0xFFFFFFFF;
    DWORD colour = NoColour;
    MovieSize size;
    try {
        size = ReadMovieHeader(arguments[0], colour);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        return StatusError;
    }
    if (colour == NoColour)
        std::printf("%dx%d\n", int(size.width), int(size.height));
    else
        std::printf("%dx%d #%06X\n", int(size.width), int(size.height), unsigned(colour));
    return StatusOk;
}
