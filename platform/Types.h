#pragma once

// The fixed-width names the rest of the program is written against, and the
// string types: a CString is a plain byte string (UTF-8 on this host).

#include <cstdint>
#include <string>
#include <vector>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using BOOL = int;
using LPSTR = char*;
using LPCSTR = const char*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

using CString = std::string;
using CStringArray = std::vector<std::string>;

constexpr int MAX_PATH = 260;
