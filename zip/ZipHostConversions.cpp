// Names, attributes and times between the systems that made an archive's
// entries and this host (MS-DOS/Windows conventions, system 0).

#include "zip/ZipBytes.h"
#include "zip/ZipException.h"
#include "zip/ZipFileSystem.h"

#include "platform/CodePage.h"

#include <algorithm>

namespace ZipFileSystem {

namespace {

using AttributeConversion = DWORD (*)(DWORD attributes, bool toCommon);

DWORD Identity(DWORD attributes, bool)
{
    return attributes;
}

// A Unix mode lives in the high 16 bits. The common form is the MS-DOS bits:
// directory from the file type, and archive, read-only and hidden from the
// owner's missing execute, write and read permissions.
DWORD UnixConversion(DWORD attributes, bool toCommon)
{
    if (!toCommon) // nothing on this host converts back to Unix modes
        return attributes;
    DWORD result = 0;
    if (attributes & (1u << 30))
        result |= 0x10;
    if (!(attributes & (1u << 22)))
        result |= 0x20;
    if (!(attributes & (1u << 23)))
        result |= 0x01;
    if (!(attributes & (1u << 24)))
        result |= 0x02;
    return result;
}

DWORD MacintoshConversion(DWORD attributes, bool)
{
    return attributes & 0x11;
}

// Indexed by host-system code; empty entries cannot be translated.
constexpr AttributeConversion s_conversions[11] = {
    Identity,
    nullptr,
    nullptr,
    UnixConversion,
    nullptr,
    nullptr,
    Identity,
    MacintoshConversion,
    nullptr,
    nullptr,
    Identity,
};

} // namespace

int CurrentSystemId()
{
    return SystemDos;
}

bool IsKnownSystem(int system)
{
    return system == SystemDos || system == SystemUnix || system == SystemOs2 || system == SystemMacintosh
        || system == SystemNtfs;
}

DWORD TranslateAttributes(DWORD attributes, int fromSystem, int toSystem)
{
    if (fromSystem == toSystem || fromSystem >= 11 || toSystem >= 11 || fromSystem < 0 || toSystem < 0)
        return attributes;
    AttributeConversion from = s_conversions[fromSystem];
    AttributeConversion to = s_conversions[toSystem];
    if (!from || !to)
        ThrowZipError(ZipErrorCause::PlatformUnsupported);
    return to(from(attributes, true), false);
}

std::time_t DosTimeToCalendar(WORD dosTime, WORD dosDate)
{
    std::tm fields {};
    fields.tm_sec = (dosTime & 0x1F) * 2;
    fields.tm_min = (dosTime >> 5) & 0x3F;
    fields.tm_hour = dosTime >> 11;
    fields.tm_mday = dosDate & 0x1F;
    fields.tm_mon = ((dosDate >> 5) & 0x0F) - 1;
    fields.tm_year = (dosDate >> 9) + 80;
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

void ChangeSlashes(CZipBytes& buffer, bool toBackslash)
{
    BYTE from = toBackslash ? '/' : '\\';
    BYTE to = toBackslash ? '\\' : '/';
    std::replace(buffer.data(), buffer.data() + buffer.size(), from, to);
}

void ConvertOemAnsi(CZipBytes& buffer, bool ansiToOem)
{
    if (buffer.empty())
        return;
    auto* text = reinterpret_cast<char*>(buffer.data());
    if (ansiToOem)
        platform::CharToOemBuff(text, text, buffer.size());
    else
        platform::OemToCharBuff(text, text, buffer.size());
}

} // namespace ZipFileSystem
