// quorvel-pack info MOVIE: the movie's frame size and, when its first tag
// sets one, its background colour.

#include "tools/pack/Command.h"
#include "tools/pack/Result.h"
#include "tools/pack/Usage.h"

#include "movie/MovieFile.h"
#include "movie/MovieHeader.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The widest frame header: a 17-byte rectangle, the frame rate and count.
constexpr std::size_t FrameHeaderMaxBytes = 17 + 2 + 2;
// What is read to tell a movie: far more than any compressed stream needs
// for the frame header's bytes.
constexpr std::size_t MovieProbeBytes = 256 * 1024;

enum class Probe { movie, notMovie, unreadable };

// A movie has one of the three signatures, "FWS", "CWS" or "ZWS", and a whole frame header (after
// decompression for a compressed one): the reader's sizes of anything else
// are made up from whatever bytes stand there.
Probe ProbeMovie(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Probe::unreadable;
    std::vector<BYTE> bytes(MovieProbeBytes);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    if (in.bad())
        return Probe::unreadable;
    bytes.resize(std::size_t(in.gcount()));
    CMovieFile movie(bytes);
    std::string_view signature = movie.Signature();
    if (signature != "FWS" && signature != "CWS" && signature != "ZWS")
        return Probe::notMovie;
    std::optional<CMovieBody> body = movie.Body(FrameHeaderMaxBytes);
    std::optional<MovieFrameHeader> frame = body ? body->FrameHeader() : std::nullopt;
    return frame && frame->complete ? Probe::movie : Probe::notMovie;
}

Result<void> Info(std::span<char* const> arguments)
{
    if (arguments.size() != 1)
        return Failure::Usage("info", "");
    const char* path = arguments[0];
    // A file that cannot be read is said by the reader below, with its reason.
    if (ProbeMovie(path) == Probe::notMovie)
        return Failure::Error(std::string(path) + " is not a movie");
    // No 0x00RRGGBB value looks like this, so it tells whether the header set one.
    constexpr DWORD NoColour = 0xFFFFFFFF;
    DWORD colour = NoColour;
    MovieSize size;
    try {
        size = ReadMovieHeader(path, colour);
    } catch (const std::exception& error) {
        return Failure::Error(error.what());
    }
    if (colour == NoColour)
        std::printf("%dx%d\n", int(size.width), int(size.height));
    else
        std::printf("%dx%d #%06X\n", int(size.width), int(size.height), unsigned(colour));
    return {};
}

} // namespace

int RunInfo(std::span<char* const> arguments)
{
    return ExitStatus(Info(arguments));
}
