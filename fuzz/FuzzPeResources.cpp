// The resource tree of a Windows executable: every resource the reader
// returns lies inside the image, and the package lookup quorvel-pack makes
// reads nothing outside it.

#include "platform/PeResources.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::span<const BYTE> image(data, size);
    std::string error;
    auto resources = platform::ParsePeResources(image, error);
    if (!resources) {
        // Refused, and said why.
        if (error.empty())
            std::abort();
        return 0;
    }
    volatile BYTE sink = 0;
    for (const auto& resource : *resources) {
        if (resource.offset > size || resource.size > size - resource.offset)
            std::abort();
        // Touch the first and last bytes: both must be inside the image.
        if (resource.size > 0)
            sink = BYTE(data[resource.offset] ^ data[resource.offset + resource.size - 1]);
    }
    (void)sink;
    return 0;
}
