#include "tools/pack/PackageErrors.h"

#include "platform/FileException.h"
#include "platform/FormatMessage.h"
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
    return ReportError(platform::WithoutLineBreak(DescribeCause(error.cause, false)));
}

int ReportFileError(const CFileException& error)
{
    return ReportError(error.what());
}
