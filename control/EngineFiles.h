#pragma once

#include "platform/Types.h"

#include <span>
#include <string_view>

// The files of the movie engine, carried inside the module itself: the
// page that hosts it and the engine's scripts and WebAssembly.
struct EngineFile {
    std::string_view name;
    std::string_view mimeType;
    std::span<const BYTE> bytes;
};

// Nothing when the name is unknown.
const EngineFile* FindEngineFile(std::string_view name);
