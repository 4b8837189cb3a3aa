#pragma once

#include "platform/Types.h"

#include <optional>
#include <span>
#include <variant>
#include <vector>

// The resources a packaged executable carries after its last byte:
//
//   [executable][data of each resource][table][trailer]
//
// The trailer is the last 24 bytes of the file, all little-endian:
//   0   8  magic "QRVLRES1"
//   8   8  offset of the table from the start of the file
//   16  4  size of the table in bytes
//   20  4  number of entries
// Each table entry:
//   0   2  type kind: 0 an integer type, 1 a string type
//   2   2  length of the type string (0 for an integer type)
//   4   4  integer type (0 for a string type)
//   8   4  integer id
//   12  2  language (0 neutral)
//   14  8  offset of the data from the start of the file
//   22  8  size of the data
//   30  n  the type string, no terminator
// Every resource's data lies before the table; the table ends where the
// trailer begins.
namespace platform {

using ResourceType = std::variant<DWORD, std::string>;

struct ResourceEntry {
    ResourceType type {};
    DWORD id { 0 };
    WORD language { 0 };
    std::uint64_t offset { 0 };
    std::uint64_t size { 0 };
};

constexpr char ResourceTrailerMagic[8] = { 'Q', 'R', 'V', 'L', 'R', 'E', 'S', '1' };
constexpr std::size_t ResourceTrailerSize = 24;
constexpr std::size_t ResourceEntryFixedSize = 30;

// The entries of the table at the end of `image`; nothing when the image has
// no trailer. A trailer whose table or data fall outside the image, or
// overlap, makes the whole table invalid (also nothing).
std::optional<std::vector<ResourceEntry>> ParseResourceTable(std::span<const BYTE> image);

// The table and trailer for `entries`, to be written at `tableOffset`.
std::vector<BYTE> SerializeResourceTable(
    const std::vector<ResourceEntry>& entries, std::uint64_t tableOffset);

// Where the executable proper ends: the first byte of the appended data, or
// the image size when nothing is appended.
std::uint64_t ExecutableSize(std::span<const BYTE> image);

} // namespace platform
