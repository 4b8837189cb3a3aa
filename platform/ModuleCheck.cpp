#include "platform/ModuleCheck.h"

#include "platform/HostPath.h"

#include <cerrno>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

#if defined(__x86_64__)
constexpr int HostMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr int HostMachine = EM_AARCH64;
#elif defined(__i386__)
constexpr int HostMachine = EM_386;
#elif defined(__arm__)
constexpr int HostMachine = EM_ARM;
#else
#error "the machine of this build is not known to the module check"
#endif

constexpr unsigned char HostClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
constexpr unsigned char HostData = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;

// ElfW(...) is the header layout of this build's class.
using Header = ElfW(Ehdr);
using ProgramHeader = ElfW(Phdr);
using SectionHeader = ElfW(Shdr);

// Limits that no module of ours comes near; they keep the reads bounded.
constexpr unsigned MaxProgramHeaders = 512;
constexpr unsigned MaxSectionHeaders = 65280; // below SHN_LORESERVE

bool ReadAt(int fd, void* buffer, size_t size, uint64_t offset)
{
    auto* out = static_cast<char*>(buffer);
    while (size > 0) {
        ssize_t n = ::pread(fd, out, size, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        size -= size_t(n);
        offset += uint64_t(n);
    }
    return true;
}

// True when [offset, offset + size) lies inside a file of `length` bytes.
bool Inside(uint64_t offset, uint64_t size, uint64_t length)
{
    return offset <= length && size <= length - offset;
}

CString Check(int fd, uint64_t length)
{
    Header header {};
    if (length < sizeof header || !ReadAt(fd, &header, sizeof header, 0))
        return length == 0 ? "the file is empty" : "the file is too short to be a module";
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
        return "the file is not an ELF module";
    if (header.e_ident[EI_CLASS] != HostClass || header.e_ident[EI_DATA] != HostData
        || header.e_machine != HostMachine)
        return "the module is built for another machine";
    if (header.e_type != ET_DYN)
        return "the file is not a shared object";
    if (header.e_phnum == 0 || header.e_phnum > MaxProgramHeaders
        || header.e_phentsize != sizeof(ProgramHeader)
        || !Inside(header.e_phoff, uint64_t(header.e_phnum) * sizeof(ProgramHeader), length))
        return "the module's program headers are damaged or cut off";
    bool loadable = false;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        ProgramHeader segment {};
        if (!ReadAt(fd, &segment, sizeof segment, header.e_phoff + uint64_t(i) * sizeof segment))
            return "the module's program headers cannot be read";
        if (segment.p_type == PT_LOAD)
            loadable = true;
        if (segment.p_filesz > 0 && !Inside(segment.p_offset, segment.p_filesz, length))
            return "the module is cut short (a segment runs past the end of the file)";
    }
    if (!loadable)
        return "the module has nothing to load";
    if (header.e_shnum > 0) {
        if (header.e_shnum > MaxSectionHeaders || header.e_shentsize != sizeof(SectionHeader)
            || !Inside(header.e_shoff, uint64_t(header.e_shnum) * sizeof(SectionHeader), length))
            return "the module is cut short (its section headers are missing)";
        for (unsigned i = 0; i < header.e_shnum; ++i) {
            SectionHeader section {};
            if (!ReadAt(fd, &section, sizeof section, header.e_shoff + uint64_t(i) * sizeof section))
                return "the module's section headers cannot be read";
            if (section.sh_type != SHT_NOBITS && section.sh_type != SHT_NULL
                && !Inside(section.sh_offset, section.sh_size, length))
                return "the module is cut short (a section runs past the end of the file)";
        }
    }
    return {};
}

} // namespace

CString CheckLoadableModule(const CString& path)
{
    auto host = ToHostPath(path.c_str());
    if (!host || host->empty())
        return path + ": not a module path";
    int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return *host + ": " + std::strerror(errno);
    struct stat st { };
    CString problem;
    if (::fstat(fd, &st) != 0)
        problem = std::strerror(errno);
    else if (!S_ISREG(st.st_mode))
        problem = "not a regular file";
    else
        problem = Check(fd, uint64_t(st.st_size));
    ::close(fd);
    return problem.empty() ? problem : *host + ": " + problem;
}

} // namespace platform
