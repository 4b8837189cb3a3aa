// The look at a control module before it is loaded: whole modules pass,
// damaged ones are named and never mapped.

#include "platform/ModuleCheck.h"
#include "support/Command.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <dlfcn.h>
#include <elf.h>

using namespace platform;

namespace {

// The C library of this process: a module that certainly loads here.
std::string LoadedLibrary()
{
    Dl_info info {};
    EXPECT_NE(::dladdr(reinterpret_cast<void*>(&std::fclose), &info), 0);
    return info.dli_fname ? info.dli_fname : "";
}

TEST(ModuleCheck, AWholeModulePasses)
{
    EXPECT_EQ(CheckLoadableModule(LoadedLibrary()), "");
}

TEST(ModuleCheck, DamagedFilesAreNamedWithWhatIsWrong)
{
    auto module = ReadFileBytes(LoadedLibrary());
    ASSERT_GT(module.size(), 4096u);
    ScratchFolder scratch;
    auto check = [&](const std::vector<unsigned char>& bytes, const char* expected) {
        std::string path = scratch / "flash8.ocx";
        WriteFileBytes(path, bytes);
        CString problem = CheckLoadableModule(path);
        EXPECT_EQ(problem.rfind(path + ": ", 0), 0u) << problem;
        EXPECT_NE(problem.find(expected), std::string::npos) << problem;
    };
    check({}, "empty");
    check({ module.begin(), module.begin() + 40 }, "too short");
    // Cut anywhere past the headers: a segment or the section table is missing.
    for (size_t cut : { size_t(sizeof(Elf64_Ehdr)), module.size() / 3, module.size() - 1 })
        check({ module.begin(), module.begin() + long(cut) }, "cut");
    check(std::vector<unsigned char>(5000, 'x'), "not an ELF module");

    auto foreign = module;
    foreign[EI_CLASS] = ELFCLASS32;
    check(foreign, "another machine");
    foreign = module;
    foreign[18] = EM_ARM; // e_machine, little-endian
    foreign[19] = 0;
    check(foreign, "another machine");
    auto executable = module;
    executable[16] = ET_EXEC;
    check(executable, "not a shared object");
}

TEST(ModuleCheck, AFolderOrAMissingFileIsNoModule)
{
    ScratchFolder scratch;
    EXPECT_NE(CheckLoadableModule(scratch.path().string()).find("not a regular file"), std::string::npos);
    EXPECT_NE(CheckLoadableModule(scratch / "missing.ocx").find("No such file"), std::string::npos);
    EXPECT_NE(CheckLoadableModule("").find("not a module path"), std::string::npos);
}

} // namespace
