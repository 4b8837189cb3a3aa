#pragma once

#include "platform/Types.h"

namespace platform {

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x0100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x0200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x1000;

constexpr DWORD MakeLangId(DWORD primary, DWORD sub)
{
    return (sub << 10) | primary;
}
constexpr DWORD LANG_NEUTRAL = 0x00;
constexpr DWORD SUBLANG_DEFAULT = 0x01;

// Only FORMAT_MESSAGE_FROM_SYSTEM is understood. The text is the system's
// English message for `messageId`, ending in "\r\n". With
// FORMAT_MESSAGE_ALLOCATE_BUFFER, `buffer` is really a char** that receives a
// block to be released with LocalFree; otherwise the text is copied into
// `buffer` of `size` characters. Returns the text's length, or 0 (last error
// 317, message not found) for a code the table does not know.
DWORD FormatMessage(DWORD flags, const void* source, DWORD messageId, DWORD languageId, LPSTR buffer,
    DWORD size, void* arguments);

void* LocalFree(void* block);

// The system text for `code` without the FormatMessage ceremony; empty when unknown.
CString SystemMessageText(DWORD code);

// `text` without the line break that ends system texts, for one-line reports.
CString WithoutLineBreak(CString text);

} // namespace platform
