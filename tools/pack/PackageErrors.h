#pragma once

#include <string>

class CZipException;
class CFileException;

// Each prints "error: " and the reason on standard error and returns the
// exit status for it.
int ReportError(const std::string& reason);
int ReportZipError(const CZipException& error);
int ReportFileError(const CFileException& error);
