#pragma once

#include "platform/Types.h"

// String comparisons by byte. The ignore-case forms fold ASCII letters only.
namespace platform {

int _mbscmp(const char* a, const char* b);
int _mbsicmp(const char* a, const char* b);
int _mbsicoll(const char* a, const char* b);
void MakeUpper(CString& text);

} // namespace platform
