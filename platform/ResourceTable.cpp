#include "platform/ResourceTable.h"

#include "platform/LittleEndianWriter.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

std::uint64_t ReadLe(const BYTE* p, int bytes)
{
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

struct Trailer {
    std::uint64_t tableOffset;
    std::uint32_t tableSize;
    std::uint32_t count;
};

std::optional<Trailer> ReadTrailer(std::span<const BYTE> image)
{
    if (image.size() < ResourceTrailerSize)
        return std::nullopt;
    const BYTE* p = image.data() + image.size() - ResourceTrailerSize;
    if (std::memcmp(p, ResourceTrailerMagic, sizeof ResourceTrailerMagic) != 0)
        return std::nullopt;
    Trailer trailer { ReadLe(p + 8, 8), std::uint32_t(ReadLe(p + 16, 4)), std::uint32_t(ReadLe(p + 20, 4)) };
    std::uint64_t tableEnd = image.size() - ResourceTrailerSize;
    if (trailer.tableOffset > tableEnd || tableEnd - trailer.tableOffset != trailer.tableSize)
        return std::nullopt;
    return trailer;
}

} // namespace

std::optional<std::vector<ResourceEntry>> ParseResourceTable(std::span<const BYTE> image)
{
    auto trailer = ReadTrailer(image);
    if (!trailer)
        return std::nullopt;
    // Each entry takes at least its fixed part: a count beyond that is a lie.
    if (trailer->count > trailer->tableSize / ResourceEntryFixedSize)
        return std::nullopt;

    std::vector<ResourceEntry> entries;
    entries.reserve(trailer->count);
    std::span<const BYTE> table = image.subspan(size_t(trailer->tableOffset), trailer->tableSize);
    size_t at = 0;
    for (std::uint32_t i = 0; i < trailer->count; ++i) {
        if (table.size() - at < ResourceEntryFixedSize)
            return std::nullopt;
        const BYTE* p = table.data() + at;
        ResourceEntry entry;
        WORD kind = WORD(ReadLe(p, 2));
        WORD typeLength = WORD(ReadLe(p + 2, 2));
        DWORD typeNumber = DWORD(ReadLe(p + 4, 4));
        entry.id = DWORD(ReadLe(p + 8, 4));
        entry.language = WORD(ReadLe(p + 12, 2));
        entry.offset = ReadLe(p + 14, 8);
        entry.size = ReadLe(p + 22, 8);
        at += ResourceEntryFixedSize;
        if (kind == 0 && typeLength == 0) {
            entry.type = typeNumber;
        } else if (kind == 1 && typeLength > 0 && table.size() - at >= typeLength) {
            entry.type = std::string(reinterpret_cast<const char*>(table.data() + at), typeLength);
            at += typeLength;
        } else {
            return std::nullopt;
        }
        // The data lies wholly before the table.
        if (entry.offset > trailer->tableOffset || entry.size > trailer->tableOffset - entry.offset)
            return std::nullopt;
        entries.push_back(std::move(entry));
    }
    if (at != table.size())
        return std::nullopt;
    return entries;
}

std::vector<BYTE> SerializeResourceTable(const std::vector<ResourceEntry>& entries, std::uint64_t tableOffset)
{
    std::vector<BYTE> bytes;
    LittleEndianWriter out(bytes);
    for (const auto& entry : entries) {
        const auto* name = std::get_if<std::string>(&entry.type);
        out.U16(name ? 1 : 0);
        out.U16(std::uint16_t(name ? name->size() : 0));
        out.U32(name ? 0 : std::get<DWORD>(entry.type));
        out.U32(entry.id);
        out.U16(entry.language);
        out.U64(entry.offset);
        out.U64(entry.size);
        if (name)
            out.Text(*name);
    }
    std::uint64_t tableSize = bytes.size();
    out.Bytes({ reinterpret_cast<const BYTE*>(ResourceTrailerMagic), sizeof ResourceTrailerMagic });
    out.U64(tableOffset);
    out.U32(std::uint32_t(tableSize));
    out.U32(std::uint32_t(entries.size()));
    return bytes;
}

std::uint64_t ExecutableSize(std::span<const BYTE> image)
{
    auto entries = ParseResourceTable(image);
    if (!entries)
        return image.size();
    std::uint64_t start = ReadTrailer(image)->tableOffset;
    for (const auto& entry : *entries)
        start = std::min(start, entry.offset);
    return start;
}

} // namespace platform
