#include "tools/pack/PackageFile.h"

#include "platform/FormatMessage.h"
#include "platform/LastError.h"
#include "platform/ResourceTable.h"
#include "res/ResourceIds.h"

bool CPackageFile::Open(const char* path, std::string& error)
{
    if (!m_file.Open(path)) {
        CString text = platform::WithoutLineBreak(platform::SystemMessageText(platform::GetLastError()));
        error = std::string(path) + ": " + (text.empty() ? "cannot read the file" : text);
        return false;
    }
    std::span<const BYTE> image(m_file.data(), m_file.size());
    m_data = image.data();
    std::uint64_t size = image.size();
    // A packaged executable: its package resource is the archive.
    if (auto resources = platform::ParseResourceTable(image)) {
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
    if (size > 0xFFFFFFFFu) {
        error = std::string(path) + ": too large for a package (over 4 GB)";
        return false;
    }
    m_size = DWORD(size);
    return true;
}
