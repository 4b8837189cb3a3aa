#include "platform/PeResources.h"

#include "platform/Utf8.h"

#include <set>

namespace platform {

namespace {

// The MS-DOS header: 64 bytes, "MZ" at 0; e_lfanew at 0x3C is the file
// offset of the PE signature "PE\0\0", which the COFF file header follows.
constexpr std::size_t DosHeaderSize = 64;
constexpr std::size_t NewHeaderPointer = 0x3C;
constexpr std::size_t SignatureSize = 4;
// COFF file header (20 bytes): Machine 0, NumberOfSections 2,
// TimeDateStamp 4, PointerToSymbolTable 8, NumberOfSymbols 12,
// SizeOfOptionalHeader 16, Characteristics 18.
constexpr std::size_t FileHeaderSize = 20;
// Optional header: Magic 0 (0x10B PE32, 0x20B PE32+), SectionAlignment 32,
// FileAlignment 36 in both; NumberOfRvaAndSizes at 92 (PE32) or 108 (PE32+),
// the data directories (RVA 4, Size 4 each) right after it.
constexpr WORD MagicPe32 = 0x10B;
constexpr WORD MagicPe32Plus = 0x20B;
constexpr std::size_t ResourceDirectoryIndex = 2;
// Section header (40 bytes): Name 0 (8), VirtualSize 8, VirtualAddress 12,
// SizeOfRawData 16, PointerToRawData 20, ...
constexpr std::size_t SectionHeaderSize = 40;
// Resource directory table (16 bytes): Characteristics 0, TimeDateStamp 4,
// MajorVersion 8, MinorVersion 10, NumberOfNameEntries 12,
// NumberOfIdEntries 14; the entries (8 bytes each) follow, named ones first.
// An entry: name or id 0 (high bit set: offset of a name string, a 16-bit
// length then that many UTF-16 units), then 4 (high bit set: offset of a
// subdirectory, else of a data entry). Offsets count from the start of the
// resource directory.
constexpr std::size_t DirectoryTableSize = 16;
constexpr std::size_t DirectoryEntrySize = 8;
// Resource data entry (16 bytes): DataRVA 0, Size 4, Codepage 8, Reserved 12.
constexpr std::size_t DataEntrySize = 16;
constexpr DWORD HighBit = 0x80000000u;
// Type, name, language.
constexpr int TreeLevels = 3;

DWORD Read32(std::span<const BYTE> bytes, std::size_t at)
{
    return DWORD(bytes[at]) | DWORD(bytes[at + 1]) << 8 | DWORD(bytes[at + 2]) << 16
        | DWORD(bytes[at + 3]) << 24;
}

WORD Read16(std::span<const BYTE> bytes, std::size_t at)
{
    return WORD(bytes[at] | bytes[at + 1] << 8);
}

bool IsPowerOfTwo(DWORD value)
{
    return value != 0 && (value & (value - 1)) == 0;
}

struct Section {
    DWORD virtualAddress;
    // The bytes of the section that come from the file.
    DWORD mappedSize;
    DWORD rawPointer;
};

class Reader {
public:
    Reader(std::span<const BYTE> image, std::string& error)
        : m_image(image)
        , m_error(error)
    {
    }

    std::optional<std::vector<PeResource>> Read();

private:
    bool Fail(const std::string& reason)
    {
        m_error = reason;
        return false;
    }
    bool ReadHeaders();
    // The file offset of [rva, rva + size), which must lie within the file
    // bytes of one section.
    std::optional<std::uint64_t> FileOffset(std::uint64_t rva, std::uint64_t size) const;
    bool ReadName(DWORD field, ResourceType& name);
    bool ReadDirectory(DWORD offset, int level, PeResource& path);
    bool ReadData(DWORD offset, PeResource& resource);

    std::span<const BYTE> m_image {};
    std::string& m_error;
    std::vector<Section> m_sections {};
    DWORD m_treeRva { 0 };
    DWORD m_treeSize { 0 };
    std::span<const BYTE> m_tree {};
    std::set<DWORD> m_visited {};
    // Entries still allowed: in a sound tree each takes 8 bytes of its own.
    std::size_t m_entryBudget { 0 };
    std::vector<PeResource> m_resources {};
};

bool Reader::ReadHeaders()
{
    if (m_image.size() < 2 || m_image[0] != 'M' || m_image[1] != 'Z')
        return Fail("no MS-DOS header");
    if (m_image.size() < DosHeaderSize)
        return Fail("the MS-DOS header is cut short");
    std::uint64_t peAt = Read32(m_image, NewHeaderPointer);
    if (peAt > m_image.size() || m_image.size() - peAt < SignatureSize + FileHeaderSize)
        return Fail("the PE header lies outside the file");
    if (Read32(m_image, std::size_t(peAt)) != 0x00004550) // "PE\0\0"
        return Fail("no PE signature");
    std::size_t fileHeader = std::size_t(peAt) + SignatureSize;
    WORD sectionCount = Read16(m_image, fileHeader + 2);
    WORD optionalSize = Read16(m_image, fileHeader + 16);
    std::size_t optional = fileHeader + FileHeaderSize;
    if (m_image.size() - optional < optionalSize)
        return Fail("the optional header is cut short");
    std::span<const BYTE> header = m_image.subspan(optional, optionalSize);
    if (header.size() < 2)
        return Fail("the optional header is cut short");
    WORD magic = Read16(header, 0);
    std::size_t countAt;
    if (magic == MagicPe32)
        countAt = 92;
    else if (magic == MagicPe32Plus)
        countAt = 108;
    else
        return Fail("an unknown optional header (neither PE32 nor PE32+)");
    if (header.size() < countAt + 4)
        return Fail("the optional header is cut short");

    // SectionAlignment: a power of two no smaller than FileAlignment.
    // FileAlignment: a power of two from 512 to 64 KB, or, when
    // SectionAlignment is below the 4 KB page, equal to it.
    DWORD sectionAlignment = Read32(header, 32);
    DWORD fileAlignment = Read32(header, 36);
    bool aligned = IsPowerOfTwo(sectionAlignment) && IsPowerOfTwo(fileAlignment) && fileAlignment <= 0x10000
        && sectionAlignment >= fileAlignment
        && (fileAlignment >= 512 || (sectionAlignment < 4096 && fileAlignment == sectionAlignment));
    if (!aligned)
        return Fail("alignments the format does not allow (section " + std::to_string(sectionAlignment)
            + ", file " + std::to_string(fileAlignment) + ")");

    DWORD directoryCount = Read32(header, countAt);
    std::size_t directories = countAt + 4;
    if ((header.size() - directories) / 8 < directoryCount)
        return Fail("the data directories run past the optional header");
    if (directoryCount > ResourceDirectoryIndex) {
        std::size_t entry = directories + ResourceDirectoryIndex * 8;
        m_treeRva = Read32(header, entry);
        m_treeSize = Read32(header, entry + 4);
    }

    std::size_t table = optional + optionalSize;
    if ((m_image.size() - table) / SectionHeaderSize < sectionCount)
        return Fail("the section table is cut short");
    for (WORD i = 0; i < sectionCount; ++i) {
        std::span<const BYTE> section = m_image.subspan(table + i * SectionHeaderSize, SectionHeaderSize);
        DWORD virtualSize = Read32(section, 8);
        DWORD virtualAddress = Read32(section, 12);
        DWORD rawSize = Read32(section, 16);
        DWORD rawPointer = Read32(section, 20);
        if (rawSize != 0 && (rawPointer > m_image.size() || m_image.size() - rawPointer < rawSize))
            return Fail("section " + std::to_string(i + 1) + " lies outside the file");
        // A section starts on a multiple of FileAlignment in the file and of
        // SectionAlignment in memory.
        if ((rawSize != 0 && rawPointer % fileAlignment != 0) || virtualAddress % sectionAlignment != 0)
            return Fail("section " + std::to_string(i + 1) + " is not aligned");
        // Past VirtualSize the loader maps nothing; past SizeOfRawData zeros.
        DWORD mapped = virtualSize != 0 && virtualSize < rawSize ? virtualSize : rawSize;
        if (std::uint64_t(virtualAddress) + mapped > 0xFFFFFFFFu)
            return Fail("section " + std::to_string(i + 1) + " lies outside the address space");
        m_sections.push_back({ virtualAddress, mapped, rawPointer });
    }
    return true;
}

std::optional<std::uint64_t> Reader::FileOffset(std::uint64_t rva, std::uint64_t size) const
{
    for (const Section& section : m_sections) {
        if (rva >= section.virtualAddress && rva - section.virtualAddress <= section.mappedSize
            && section.mappedSize - (rva - section.virtualAddress) >= size)
            return section.rawPointer + (rva - section.virtualAddress);
    }
    return std::nullopt;
}

bool Reader::ReadName(DWORD field, ResourceType& name)
{
    if (!(field & HighBit)) {
        name = field;
        return true;
    }
    std::size_t at = field & ~HighBit;
    if (at > m_tree.size() || m_tree.size() - at < 2)
        return Fail("a resource name lies outside the resource directory");
    std::size_t length = Read16(m_tree, at);
    if ((m_tree.size() - at - 2) / 2 < length)
        return Fail("a resource name runs past the resource directory");
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        DWORD unit = Read16(m_tree, at + 2 + 2 * i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < length) {
            DWORD low = Read16(m_tree, at + 4 + 2 * i);
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000)
            unit = '?'; // a lone surrogate
        AppendUtf8(text, unit);
    }
    name = std::move(text);
    return true;
}

bool Reader::ReadData(DWORD offset, PeResource& resource)
{
    if (offset > m_tree.size() || m_tree.size() - offset < DataEntrySize)
        return Fail("a resource data entry lies outside the resource directory");
    DWORD rva = Read32(m_tree, offset);
    DWORD size = Read32(m_tree, offset + 4);
    if (size > m_image.size())
        return Fail("a resource larger than the file");
    auto at = FileOffset(rva, size);
    // A section with no data in the file (SizeOfRawData 0) maps nothing, and
    // its PointerToRawData was never checked: even an empty resource must
    // start inside the file.
    if (!at || *at > m_image.size() || m_image.size() - *at < size)
        return Fail("a resource's data lies outside the file");
    resource.offset = *at;
    resource.size = size;
    m_resources.push_back(resource);
    return true;
}

bool Reader::ReadDirectory(DWORD offset, int level, PeResource& path)
{
    if (!m_visited.insert(offset).second)
        return Fail("the resource tree loops");
    if (offset > m_tree.size() || m_tree.size() - offset < DirectoryTableSize)
        return Fail("a resource directory lies outside the resource directory");
    std::size_t count = std::size_t(Read16(m_tree, offset + 12)) + Read16(m_tree, offset + 14);
    if ((m_tree.size() - offset - DirectoryTableSize) / DirectoryEntrySize < count || count > m_entryBudget)
        return Fail("a resource directory runs past the resource directory");
    m_entryBudget -= count;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t entry = offset + DirectoryTableSize + i * DirectoryEntrySize;
        DWORD name = Read32(m_tree, entry);
        DWORD target = Read32(m_tree, entry + 4);
        bool subdirectory = (target & HighBit) != 0;
        if (level == 0) {
            if (!ReadName(name, path.type))
                return false;
        } else if (level == 1) {
            if (!ReadName(name, path.name))
                return false;
        } else {
            // Languages are numbered: a name here means nothing.
            if (name & HighBit)
                return Fail("a resource language given by name");
            path.language = WORD(name);
        }
        if (subdirectory != (level + 1 < TreeLevels))
            return Fail(subdirectory ? "the resource tree is deeper than type, name and language"
                                     : "the resource tree ends before the language");
        if (subdirectory ? !ReadDirectory(target & ~HighBit, level + 1, path) : !ReadData(target, path))
            return false;
    }
    return true;
}

std::optional<std::vector<PeResource>> Reader::Read()
{
    if (!ReadHeaders())
        return std::nullopt;
    if (m_treeRva == 0 && m_treeSize == 0)
        return m_resources;
    auto at = FileOffset(m_treeRva, m_treeSize);
    if (!at) {
        Fail("the resource directory lies outside the file");
        return std::nullopt;
    }
    m_tree = m_image.subspan(std::size_t(*at), m_treeSize);
    m_entryBudget = m_tree.size() / DirectoryEntrySize;
    PeResource path;
    if (!ReadDirectory(0, 0, path))
        return std::nullopt;
    return std::move(m_resources);
}

} // namespace

bool LooksLikePeImage(std::span<const BYTE> image)
{
    return image.size() >= 2 && image[0] == 'M' && image[1] == 'Z';
}

std::optional<std::vector<PeResource>> ParsePeResources(std::span<const BYTE> image, std::string& error)
{
    return Reader(image, error).Read();
}

} // namespace platform
