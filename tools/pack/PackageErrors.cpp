#include "tools/pack/PackageErrors.h"

#include "platform/FileException.h"
#include "tools/pack/Command.h"
#include "zip/ZipException.h"

#include <cstdio>

int ReportError(const std::string& reason)
{
    std::fprintf(stderr, "error: %s\n", reason.c_str());
    return StatusError;
}

int ReportZipError(const CZipException& error)
{
    CString text = DescribeCause(error.cause, false);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return ReportError(text);
}

int ReportFileError(const CFileException& error)
{
    return ReportError(error.what());
}
