#include "control/EngineFiles.h"

// The symbols EngineFilesData.S puts around each file's bytes.
#define ENGINE_FILE(index, name, type, path)                                                                 \
    extern const BYTE quorvel_engine_##index[];                                                              \
    extern const BYTE quorvel_engine_##index##_end[];
extern "C" {
#include "EngineFileList.inc"
}
#undef ENGINE_FILE

namespace {

#define ENGINE_FILE(index, name, type, path)                                                                 \
    { name, type, { quorvel_engine_##index, quorvel_engine_##index##_end } },
const EngineFile s_files[] = {
#include "EngineFileList.inc"
};
#undef ENGINE_FILE

} // namespace

const EngineFile* FindEngineFile(std::string_view name)
{
    for (const auto& file : s_files) {
        if (file.name == name)
            return &file;
    }
    return nullptr;
}
