#include "app/CarriedSettings.h"

#include "app/PackagePassword.h"
#include "platform/ProfileString.h"
#include "zip/ZipException.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"

#include <vector>

namespace {

constexpr const char* SettingsName = "package.ini";
// No settings file comes near this; a larger one is not read whole.
constexpr DWORD MaxSettingsSize = 1u << 20;

bool IsSettingsName(const CString& name)
{
    size_t separator = name.find_last_of("\\/");
    return (separator == CString::npos ? name : name.substr(separator + 1)) == SettingsName;
}

} // namespace

std::optional<std::string> CarriedSettingsText(const BYTE* archive, DWORD size)
{
    CZipMemoryBlock block;
    block.Attach(archive, size);
    CZipReader zip;
    try {
        zip.Open(block);
        zip.SetPassword(PackagePassword);
        int found = -1;
        for (int i = 0; i < zip.GetEntryCount(); ++i) {
            const CZipEntryHeader* header = zip.GetEntryHeader(i);
            if (!header->IsDirectory() && IsSettingsName(header->GetFileName()))
                found = i;
        }
        if (found < 0 || zip.GetEntryHeader(found)->uncompressedSize > MaxSettingsSize
            || !zip.OpenEntry(WORD(found))) {
            zip.Close(CZipReader::closeAfterException);
            return std::nullopt;
        }
        std::string text;
        std::vector<char> buffer(64 * 1024);
        while (DWORD n = zip.ReadEntry(buffer.data(), DWORD(buffer.size())))
            text.append(buffer.data(), n);
        bool whole = zip.CloseEntry() == CZipReader::EntryClose::closed;
        zip.Close();
        return whole ? std::optional<std::string>(std::move(text)) : std::nullopt;
    } catch (const CZipException&) {
        zip.Close(CZipReader::closeAfterException);
        return std::nullopt;
    }
}

CString CarriedPackageId(const BYTE* archive, DWORD size)
{
    std::optional<std::string> text = CarriedSettingsText(archive, size);
    if (!text)
        return {};
    return platform::FindProfileValue(*text, "SETTINGS", "id").value_or(std::string());
}
