#include "platform/MbString.h"

namespace platform {

static unsigned char FoldAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

int _mbscmp(const char* a, const char* b)
{
    auto* p = reinterpret_cast<const unsigned char*>(a);
    auto* q = reinterpret_cast<const unsigned char*>(b);
    for (; *p && *p == *q; ++p, ++q) { }
    return *p == *q ? 0 : (*p < *q ? -1 : 1);
}

int _mbsicmp(const char* a, const char* b)
{
    auto* p = reinterpret_cast<const unsigned char*>(a);
    auto* q = reinterpret_cast<const unsigned char*>(b);
    for (; *p && FoldAscii(*p) == FoldAscii(*q); ++p, ++q) { }
    unsigned char x = FoldAscii(*p), y = FoldAscii(*q);
    return x == y ? 0 : (x < y ? -1 : 1);
}

int _mbsicoll(const char* a, const char* b)
{
    return _mbsicmp(a, b);
}

void MakeUpper(CString& text)
{
    for (auto& c : text) {
        if (c >= 'a' && c <= 'z')
            c = char(c - ('a' - 'A'));
    }
}

} // namespace platform
