#include "tools/pack/PackageFile.h"

#include "tools/pack/Result.h"

#include "platform/FormatMessage.h"
#include "platform/LastError.h"
#include "platform/PeResources.h"
#include "platform/ResourceTable.h"
#include "res/ResourceIds.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

// Resource names are compared without case, as Windows looks them up.
bool IsPackage(const platform::PeResource& resource)
{
    const auto* type = std::get_if<std::string>(&resource.type);
    const auto* id = std::get_if<DWORD>(&resource.name);
    return type && id && *id == DWORD(IDR_PACKAGE)
        && std::equal(type->begin(), type->end(), RT_PACKAGE, RT_PACKAGE + std::strlen(RT_PACKAGE),
            [](char a, char b) { return std::toupper(BYTE(a)) == std::toupper(BYTE(b)); });
}

} // namespace

Result<void> CPackageFile::Open(const char* path)
{
    if (!m_file.Open(path)) {
        CString text = platform::WithoutLineBreak(platform::SystemMessageText(platform::GetLastError()));
        return Failure::Error(std::string(path) + ": " + (text.empty() ? "cannot read the file" : text));
    }
    std::span<const BYTE> image(m_file.data(), m_file.size());
    m_data = image.data();
    std::uint64_t size = image.size();
    if (platform::LooksLikePeImage(image)) {
        // A Windows player: the package is its ZIP/129 resource, in any language.
        std::string reason;
        auto resources = platform::ParsePeResources(image, reason);
        if (!resources)
            return Failure::Error(std::string(path) + ": a damaged Windows executable: " + reason);
        auto package = std::find_if(resources->begin(), resources->end(), IsPackage);
        if (package == resources->end())
            return Failure::Error(std::string(path) + " carries no package (resource " + RT_PACKAGE + "/"
                + std::to_string(IDR_PACKAGE) + ")");
        m_data = image.data() + package->offset;
        size = package->size;
        m_windows = true;
    } else if (auto resources = platform::ParseResourceTable(image)) {
        // A packaged Linux player: its package resource is the archive.
        for (const auto& resource : *resources) {
            const auto* type = std::get_if<std::string>(&resource.type);
            if (type && *type == RT_PACKAGE && resource.id == IDR_PACKAGE) {
                m_data = image.data() + resource.offset;
                size = resource.size;
                break;
            }
        }
    }
    // ZIP offsets are 32-bit: an archive cannot be larger.
    if (size > 0xFFFFFFFFu)
        return Failure::Error(std::string(path) + ": too large for a package (over 4 GB)");
    m_size = DWORD(size);
    return {};
}
