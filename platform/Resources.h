#pragma once

#include "platform/MappedFile.h"
#include "platform/ResourceTable.h"

#include <memory>
#include <optional>
#include <span>
#include <variant>
#include <vector>

// Resources of an executable: the built-in ones compiled into the program
// and those appended to its file by the packager. Appended bytes are a
// read-only map of the file, never copied and never freed while the module
// lives; the running executable's module lives as long as the process.
namespace platform {

// A resource type or name: an integer or a string, as the Windows calls take them.
struct ResourceName {
    ResourceName(DWORD number)
        : value(number)
    {
    }
    ResourceName(int number)
        : value(DWORD(number))
    {
    }
    ResourceName(const char* name)
        : value(std::string(name))
    {
    }
    std::variant<DWORD, std::string> value;
};

inline ResourceName MAKEINTRESOURCE(DWORD id)
{
    return ResourceName(id);
}

constexpr DWORD RT_ICON = 3;
constexpr DWORD RT_MENU = 4;
constexpr DWORD RT_DIALOG = 5;
constexpr DWORD RT_STRING = 6;
constexpr DWORD RT_GROUP_ICON = 14;

constexpr WORD LANG_NEUTRAL_DEFAULT = 0x0000;
constexpr WORD LANG_EN_US = 0x0409;
constexpr WORD LANG_ZH_CN = 0x0804;

struct BuiltInResource {
    ResourceName type;
    DWORD id;
    WORD language;
    std::span<const BYTE> bytes;
};

struct ResourceBlock {
    const BYTE* data { nullptr };
    DWORD size { 0 };
    WORD language { 0 };
};

// One executable image and its resources.
class CModule {
public:
    // The running executable (mapped once, on first use).
    static CModule& Current();

    // Maps the executable at `path`. False (last error set) when it cannot.
    bool Open(LPCSTR path);

    // The resources compiled into the program, shared by every module.
    static void SetBuiltIn(std::vector<BuiltInResource> resources);

    // Nothing (and last error 1812, 1813 or 1814) when not found. With a
    // language, only that language matches; without one, the first found.
    const ResourceBlock* Find(
        const ResourceName& name, const ResourceName& type, std::optional<WORD> language = {});

    // The whole mapped file.
    std::span<const BYTE> Image() const { return { m_file.data(), m_file.size() }; }

    // Gives the memory of `block`'s whole pages back to the system when the
    // block lies in the mapped file (built-in resources are left alone). The
    // bytes stay valid: read again, they come back from the file.
    void DiscardPages(const ResourceBlock& block);

private:
    void Load();

    CMappedFile m_file {};
    std::vector<std::pair<ResourceEntry, ResourceBlock>> m_appended {};
    bool m_hasTable { false };
};

using HMODULE = CModule*;
using HRSRC = const ResourceBlock*;
using HGLOBAL = const ResourceBlock*;

// Null stands for the running executable.
HMODULE GetModuleHandle(LPCSTR name);
HRSRC FindResource(HMODULE module, ResourceName name, ResourceName type);
HRSRC FindResourceEx(HMODULE module, ResourceName type, ResourceName name, WORD language);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
const void* LockResource(HGLOBAL loaded);
DWORD SizeofResource(HMODULE module, HRSRC resource);

// The module no longer needs the pages of `resource` in memory (after the
// package has been unpacked); they are dropped, not freed, and are read
// back from the file should the bytes be touched again.
void DiscardResourcePages(HMODULE module, HRSRC resource);

} // namespace platform
