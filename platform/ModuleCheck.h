#pragma once

#include "platform/Types.h"

// A look at a control module before it is loaded. Loading a damaged file
// does not fail cleanly: a module cut short is mapped past its end, and the
// first touch of the missing pages kills the process (SIGBUS) inside dlopen.
namespace platform {

// Empty when `path` is an ELF shared object this process could load: the
// ELF class, byte order and machine of this build, type ET_DYN, program
// headers inside the file, and every segment and section (other than those
// that hold no bytes in the file) ending at or before the end of the file.
// Otherwise a sentence that names the file and what is wrong with it. The
// file is read with pread, never mapped.
CString CheckLoadableModule(const CString& path);

} // namespace platform
