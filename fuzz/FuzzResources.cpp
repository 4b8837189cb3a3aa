// The resources appended to an executable: the table parser on the bytes as
// they are, and a module mapped from them looking up the package.

#include "FuzzSupport.h"

#include "platform/ResourceTable.h"
#include "platform/Resources.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::span<const BYTE> image(data, size);
    if (auto entries = platform::ParseResourceTable(image)) {
        // Whatever a valid table promises lies inside the image.
        for (const auto& entry : *entries) {
            if (entry.offset > size || entry.size > size - entry.offset)
                std::abort();
        }
        if (platform::ExecutableSize(image) > size)
            std::abort();
        // Written out again, the table reads back the same.
        std::uint64_t tableOffset = platform::ExecutableSize(image);
        std::vector<BYTE> copy(data, data + size);
        copy.resize(std::size_t(tableOffset));
        std::uint64_t end = 0;
        for (const auto& entry : *entries)
            end = std::max(end, entry.offset + entry.size);
        copy.resize(std::size_t(std::max(end, tableOffset)));
        auto table = platform::SerializeResourceTable(*entries, copy.size());
        copy.insert(copy.end(), table.begin(), table.end());
        auto again = platform::ParseResourceTable(copy);
        if (!again || again->size() != entries->size())
            std::abort();
    }

    std::string path = fuzz::WriteInputFile(data, size);
    platform::CModule module;
    if (module.Open(path.c_str())) {
        for (auto [type, id] : { std::pair<platform::ResourceName, DWORD> { "ZIP", 129 }, { "OCX", 1091 } }) {
            if (const auto* block = module.Find(id, type)) {
                // Touch the first and last bytes: both must be inside the map.
                volatile BYTE sink = 0;
                if (block->size > 0)
                    sink = BYTE(block->data[0] ^ block->data[block->size - 1]);
                (void)sink;
            }
        }
    }
    return 0;
}
