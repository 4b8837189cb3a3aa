#include "tools/pack/PackageFile.h"

#include "platform/FormatMessage.h"
#include "platform/LastError.h"

bool CPackageFile::Open(const char* path, std::string& error)
{
    if (!m_file.Open(path)) {
        CString text = platform::SystemMessageText(platform::GetLastError());
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        error = std::string(path) + ": " + (text.empty() ? "cannot read the file" : text);
        return false;
    }
    // ZIP offsets are 32-bit: an archive cannot be larger.
    if (m_file.size() > 0xFFFFFFFFu) {
        error = std::string(path) + ": too large for a package (over 4 GB)";
        return false;
    }
    return true;
}
