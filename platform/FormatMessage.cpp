#include "platform/FormatMessage.h"

#include "platform/ErrorCodes.h"
#include "platform/LastError.h"

#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;

struct SystemMessage {
    DWORD code;
    const char* text;
};

// Windows' English texts for the codes this layer reports.
constexpr SystemMessage s_messages[] = {
    { 0, "The operation completed successfully." },
    { 2, "The system cannot find the file specified." },
    { 3, "The system cannot find the path specified." },
    { 4, "The system cannot open the file." },
    { 5, "Access is denied." },
    { 6, "The handle is invalid." },
    { 8, "Not enough memory resources are available to process this command." },
    { 19, "The media is write protected." },
    { 31, "A device attached to the system is not functioning." },
    { 87, "The parameter is incorrect." },
    { 112, "There is not enough space on the disk." },
    { 145, "The directory is not empty." },
    { 183, "Cannot create a file when that file already exists." },
    { 206, "The filename or extension is too long." },
    { 223, "The file size exceeds the limit allowed and cannot be saved." },
    { 1812, "The specified image file did not contain a resource section." },
    { 1813, "The specified resource type cannot be found in the image file." },
    { 1814, "The specified resource name cannot be found in the image file." },
    { 1921, "The name of the file cannot be resolved by the system." },
};

const char* FindMessage(DWORD code)
{
    for (const auto& message : s_messages) {
        if (message.code == code)
            return message.text;
    }
    return nullptr;
}

} // namespace

CString SystemMessageText(DWORD code)
{
    const char* text = FindMessage(code);
    return text ? CString(text) + "\r\n" : CString();
}

CString WithoutLineBreak(CString text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

DWORD FormatMessage(DWORD flags, const void*, DWORD messageId, DWORD, LPSTR buffer, DWORD size, void*)
{
    CString text = (flags & FORMAT_MESSAGE_FROM_SYSTEM) ? SystemMessageText(messageId) : CString();
    if (text.empty()) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        auto** out = reinterpret_cast<char**>(buffer);
        if (!out)
            return 0;
        char* block = static_cast<char*>(std::malloc(text.size() + 1));
        if (!block) {
            *out = nullptr;
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::memcpy(block, text.c_str(), text.size() + 1);
        *out = block;
        return DWORD(text.size());
    }
    if (!buffer || size <= text.size()) {
        SetLastError(122); // ERROR_INSUFFICIENT_BUFFER
        return 0;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return DWORD(text.size());
}

void* LocalFree(void* block)
{
    std::free(block);
    return nullptr;
}

} // namespace platform
