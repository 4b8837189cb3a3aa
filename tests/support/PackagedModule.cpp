#include "support/PackagedModule.h"
#include "res/ResourceIds.h"

#include "platform/ResourceTable.h"
#include "support/Command.h"

void WritePackagedModule(const std::string& path, const std::vector<unsigned char>* zip)
{
    static const char s_stub[] = "\x7F"
                                 "ELF not real";
    std::vector<unsigned char> image;
    image.reserve(sizeof s_stub + (zip ? zip->size() + 256 : 0));
    image.assign(s_stub, s_stub + sizeof s_stub - 1);
    if (zip) {
        platform::ResourceEntry entry;
        entry.type = std::string(RT_PACKAGE);
        entry.id = IDR_PACKAGE;
        entry.offset = image.size();
        entry.size = zip->size();
        image.insert(image.end(), zip->begin(), zip->end());
        auto table = platform::SerializeResourceTable({ entry }, image.size());
        image.insert(image.end(), table.begin(), table.end());
    }
    WriteFileBytes(path, image);
}
