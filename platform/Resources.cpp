#include "platform/Resources.h"

#include "platform/ErrorCodes.h"
#include "platform/LastError.h"

#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace platform {

namespace {

struct BuiltInBlock {
    BuiltInResource resource;
    ResourceBlock block;
};

std::vector<BuiltInBlock>& BuiltIns()
{
    static std::vector<BuiltInBlock> s_builtIns;
    return s_builtIns;
}

bool SameName(const std::variant<DWORD, std::string>& a, const std::variant<DWORD, std::string>& b)
{
    return a == b;
}

} // namespace

CModule& CModule::Current()
{
    static CModule s_current;
    static std::once_flag s_once;
    std::call_once(s_once, [] { s_current.Open("/proc/self/exe"); });
    return s_current;
}

bool CModule::Open(LPCSTR path)
{
    m_appended.clear();
    m_hasTable = false;
    if (!m_file.Open(path))
        return false;
    Load();
    return true;
}

void CModule::Load()
{
    auto entries = ParseResourceTable(Image());
    if (!entries)
        return;
    m_hasTable = true;
    for (auto& entry : *entries) {
        // A resource is addressed with 32 bits, like everything in a package.
        if (entry.size > 0xFFFFFFFFu)
            continue;
        ResourceBlock block { m_file.data() + entry.offset, DWORD(entry.size), entry.language };
        m_appended.emplace_back(std::move(entry), block);
    }
}

void CModule::DiscardPages(const ResourceBlock& block)
{
    const BYTE* begin = m_file.data();
    const BYTE* end = begin + m_file.size();
    if (!begin || block.data < begin || block.data + block.size > end || block.size == 0)
        return;
    // Only pages wholly inside the block: its neighbours may still be wanted.
    auto page = uintptr_t(::sysconf(_SC_PAGESIZE));
    uintptr_t first = (uintptr_t(block.data) + page - 1) / page * page;
    uintptr_t last = (uintptr_t(block.data) + block.size) / page * page;
    if (first < last)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

void CModule::SetBuiltIn(std::vector<BuiltInResource> resources)
{
    auto& builtIns = BuiltIns();
    builtIns.clear();
    for (auto& resource : resources) {
        ResourceBlock block { resource.bytes.data(), DWORD(resource.bytes.size()), resource.language };
        builtIns.push_back({ std::move(resource), block });
    }
}

const ResourceBlock* CModule::Find(
    const ResourceName& name, const ResourceName& type, std::optional<WORD> language)
{
    bool typeSeen = false;
    for (auto& [entry, block] : m_appended) {
        if (!SameName(entry.type, type.value))
            continue;
        typeSeen = true;
        if (SameName(entry.id, name.value) && (!language || entry.language == *language))
            return &block;
    }
    for (auto& builtIn : BuiltIns()) {
        if (!SameName(builtIn.resource.type.value, type.value))
            continue;
        typeSeen = true;
        if (SameName(builtIn.resource.id, name.value)
            && (!language || builtIn.resource.language == *language))
            return &builtIn.block;
    }
    if (!m_hasTable && BuiltIns().empty())
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    else
        SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HMODULE GetModuleHandle(LPCSTR name)
{
    return name ? nullptr : &CModule::Current();
}

HRSRC FindResource(HMODULE module, ResourceName name, ResourceName type)
{
    return (module ? module : &CModule::Current())->Find(name, type);
}

HRSRC FindResourceEx(HMODULE module, ResourceName type, ResourceName name, WORD language)
{
    return (module ? module : &CModule::Current())->Find(name, type, language);
}

HGLOBAL LoadResource(HMODULE, HRSRC resource)
{
    return resource;
}

const void* LockResource(HGLOBAL loaded)
{
    return loaded ? loaded->data : nullptr;
}

DWORD SizeofResource(HMODULE, HRSRC resource)
{
    return resource ? resource->size : 0;
}

void DiscardResourcePages(HMODULE module, HRSRC resource)
{
    if (resource)
        (module ? module : &CModule::Current())->DiscardPages(*resource);
}

} // namespace platform
