#include "tools/pack/PackageLook.h"

#include "platform/ResourceTable.h"
#include "platform/Resources.h"
#include "res/BuiltInResources.h"
#include "res/ResourceIds.h"

#include <glib.h>

namespace {

std::optional<std::span<const BYTE>> BuiltIn(DWORD type, DWORD id)
{
    static const std::vector<platform::BuiltInResource> s_builtIn = BuiltInResources();
    for (const auto& resource : s_builtIn) {
        if (resource.type.value == platform::ResourceType(type) && resource.id == id)
            return resource.bytes;
    }
    return std::nullopt;
}

} // namespace

std::string TitleProblem(const std::string& title)
{
    if (title.size() > MaxTitleBytes)
        return "longer than " + std::to_string(MaxTitleBytes) + " bytes (" + std::to_string(title.size())
            + ")";
    if (!g_utf8_validate(title.data(), gssize(title.size()), nullptr))
        return "not UTF-8";
    for (unsigned char c : title) {
        if (c < 0x20 || c == 0x7F)
            return "holds a control character";
    }
    return {};
}

CarriedLook FindCarriedLook(std::span<const BYTE> image)
{
    CarriedLook look;
    auto entries = platform::ParseResourceTable(image);
    if (!entries)
        return look;
    for (const auto& entry : *entries) {
        std::span<const BYTE> bytes = image.subspan(std::size_t(entry.offset), std::size_t(entry.size));
        if (entry.type == platform::ResourceType(platform::RT_STRING) && entry.id == DWORD(IDS_TITLE))
            look.title = std::string(bytes.begin(), bytes.end());
        else if (entry.type == platform::ResourceType(platform::RT_GROUP_ICON)
            && entry.id == DWORD(IDR_MAINFRAME))
            look.icon = bytes;
    }
    return look;
}

std::string ShownTitle(const CarriedLook& look)
{
    if (look.title)
        return *look.title;
    std::span<const BYTE> builtIn
        = BuiltIn(platform::RT_STRING, IDS_TITLE).value_or(std::span<const BYTE> {});
    return std::string(builtIn.begin(), builtIn.end());
}

std::span<const BYTE> ShownIcon(const CarriedLook& look)
{
    if (look.icon)
        return *look.icon;
    return BuiltIn(platform::RT_GROUP_ICON, IDR_MAINFRAME).value_or(std::span<const BYTE> {});
}

std::optional<std::pair<DWORD, DWORD>> PngSize(std::span<const BYTE> png)
{
    // The signature (8 bytes), IHDR's length and type (8), then width and height, big-endian.
    if (png.size() < 24)
        return std::nullopt;
    auto big = [&](std::size_t at) {
        return DWORD(png[at]) << 24 | DWORD(png[at + 1]) << 16 | DWORD(png[at + 2]) << 8 | DWORD(png[at + 3]);
    };
    return std::pair { big(16), big(20) };
}
