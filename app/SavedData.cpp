#include "app/SavedData.h"

#include "platform/DataFolder.h"
#include "platform/ExecutablePath.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr std::size_t MaxIdLength = 64;
constexpr std::uint64_t FnvOffsetBasis = 0xCBF29CE484222325u;
constexpr std::uint64_t FnvPrime = 0x100000001B3u;

} // namespace

bool IsValidPackageId(const CString& id)
{
    if (id.empty() || id.size() > MaxIdLength)
        return false;
    for (char c : id) {
        bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'
            || c == '-';
        if (!allowed)
            return false;
    }
    return true;
}

CString ExecutablePackageId(const CString& executablePath)
{
    std::uint64_t hash = FnvOffsetBasis;
    for (char c : executablePath) {
        hash ^= std::uint8_t(c);
        hash *= FnvPrime;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return CString("exe-") + digits;
}

CString EffectivePackageId(const CString& packageId, const CString& executablePath)
{
    return IsValidPackageId(packageId) ? packageId : ExecutablePackageId(executablePath);
}

CString RunningExecutablePath()
{
    return platform::ExecutablePath();
}

CString SavedDataFolder(const CString& packageId, const CString& fallbackId)
{
    // Without a data folder nothing is kept: never a folder at the root.
    CString dataFolder = platform::UserDataFolder();
    if (dataFolder.empty())
        return {};
    if (!IsValidPackageId(packageId) && IsValidPackageId(fallbackId))
        return dataFolder + "/quorvel/saved/" + fallbackId;
    return dataFolder + "/quorvel/saved/" + EffectivePackageId(packageId, RunningExecutablePath());
}
