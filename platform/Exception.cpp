#include "platform/Exception.h"

#include <cstring>

BOOL CException::GetErrorMessage(char* buffer, UINT maxChars, UINT*) const
{
    if (!buffer || maxChars == 0)
        return FALSE;
    buffer[0] = '\0';
    return FALSE;
}

const char* CException::what() const noexcept
{
    char text[1024];
    if (GetErrorMessage(text, sizeof text))
        m_what = text;
    else
        m_what = "unknown error";
    return m_what.c_str();
}
