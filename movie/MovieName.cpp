#include "movie/MovieName.h"

#include "platform/MbString.h"

bool IsMovieName(std::string_view name)
{
    CString tail(name.size() > 3 ? name.substr(name.size() - 3) : name);
    platform::MakeUpper(tail);
    return platform::_mbscmp(tail.c_str(), "SWF") == 0;
}
