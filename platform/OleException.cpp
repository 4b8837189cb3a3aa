#include "platform/OleException.h"

#include <cstdio>
#include <cstring>

namespace {

BOOL CopyMessage(const CString& text, char* buffer, UINT maxChars)
{
    if (!buffer || maxChars == 0)
        return FALSE;
    std::snprintf(buffer, maxChars, "%s", text.c_str());
    return TRUE;
}

CString HexCode(const char* what, std::int32_t code)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s 0x%08X", what, unsigned(code));
    return text;
}

} // namespace

BOOL COleException::GetErrorMessage(char* buffer, UINT maxChars, UINT*) const
{
    return CopyMessage(HexCode("COM call failed:", m_sc), buffer, maxChars);
}

BOOL COleDispatchException::GetErrorMessage(char* buffer, UINT maxChars, UINT*) const
{
    return CopyMessage(
        m_strDescription.empty() ? HexCode("Automation call failed:", m_scError) : m_strDescription, buffer,
        maxChars);
}

BOOL _com_error::GetErrorMessage(char* buffer, UINT maxChars, UINT*) const
{
    return CopyMessage(HexCode("COM error", m_hr), buffer, maxChars);
}
