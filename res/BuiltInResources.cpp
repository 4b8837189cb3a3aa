#include "res/BuiltInResources.h"

namespace {

// String table entry 1.
constexpr char s_title[] = "Quorvel";

std::span<const BYTE> Bytes(const char* text, size_t length)
{
    return { reinterpret_cast<const BYTE*>(text), length };
}

} // namespace

std::vector<platform::BuiltInResource> BuiltInResources()
{
    using namespace platform;
    return {
        { RT_STRING, 1, LANG_NEUTRAL_DEFAULT, Bytes(s_title, sizeof s_title - 1) },
    };
}

void RegisterBuiltInResources() { platform::CModule::SetBuiltIn(BuiltInResources()); }
