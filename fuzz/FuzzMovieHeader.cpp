// A movie file's header: the frame rectangle of a stored or compressed body,
// whatever length the header declares.

#include "FuzzSupport.h"

#include "movie/MovieHeader.h"
#include "platform/FileException.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string path = fuzz::WriteInputFile(data, size);
    DWORD colour = 0;
    try {
        ReadMovieHeader(path, colour);
    } catch (const CFileException&) {
    }
    return 0;
}
