#include "zip/ZipException.h"

#include "platform/FormatMessage.h"
#include "platform/LastError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <zlib.h>

using namespace platform;

namespace {

struct CauseText {
    int code;
    const char* text;
};

// Texts of the run-time library's errno values 1..30 and of the layer's own
// causes. Codes missing here fall back to "Unknown error" or the system text.
constexpr CauseText s_causeTexts[] = {
    { 1, "Not super-user" },
    { 2, "No such file or directory" },
    { 4, "Interrupted system call" },
    { 5, "I/O error" },
    { 6, "No such device or address" },
    { 9, "Bad file number" },
    { 12, "Not enough space" },
    { 13, "Permission denied" },
    { 14, "Bad address" },
    { 17, "File exists" },
    { 18, "Cross-device link" },
    { 19, "No such device" },
    { 20, "Not a directory" },
    { 21, "Is a directory" },
    { 22, "Invalid argument" },
    { 23, "File table overflow" },
    { 24, "Too many open files" },
    { 27, "File too large" },
    { 28, "No space left on device" },
    { 29, "Illegal seek" },
    { 30, "Read-only file system" },
    { ZipErrorCause::Damaged, "Damaged or not a zip file" },
    { ZipErrorCause::CrcMismatch, "Crc mismatched" },
    { ZipErrorCause::NoSpanCallback, "No disk-spanning callback functor set" },
    { ZipErrorCause::DiskChangeAborted, "Disk change aborted" },
    { ZipErrorCause::ActionAborted, "Action aborted" },
    { ZipErrorCause::ActionAbortedSafely, "Action aborted safely" },
    { ZipErrorCause::NotRemovable, "The device selected for the disk spanning archive is non removable" },
    { ZipErrorCause::TooManyVolumes, "Limit of the maximum volumes reached" },
    { ZipErrorCause::NameTooLong, "The filename of the file being added to the archive is too long" },
    { ZipErrorCause::BadPassword, "Incorrect password set for the file being decrypted" },
    { ZipErrorCause::DirectoryWithSize, "During testing found the directory with the size greater than 0" },
    { ZipErrorCause::InternalError, "Internal error" },
    { ZipErrorCause::PlatformUnsupported, "Cannot create the file for the specified platform" },
    { ZipErrorCause::NoCentralDirectory,
        "The central directory was not found in the archive (or you were trying to open not the last disk of "
        "a "
        "multi-disk archive)" },
    { ZipErrorCause::WriterClosed, "The archive is finished, or an earlier write failed" },
    { ZipErrorCause::EntryRefused, "The entry cannot be added to the archive" },
    { ZipErrorCause::BeyondZip32, "Beyond what a ZIP archive without Zip64 can hold" },
    { ZipErrorCause::DataChanged, "The data changed while it was being added" },
    { ZipErrorCause::CommentRefused, "The archive comment cannot be written" },
    { ZipErrorCause::NoRandomBytes, "No random bytes for the encryption header" },
    { ZipErrorCause::ZlibStreamEnd, "Zlib Library error (end of stream)" },
    { ZipErrorCause::ZlibStream, "Zlib library error (stream error)" },
    { ZipErrorCause::ZlibData, "Zlib library error (data error)" },
    { ZipErrorCause::ZlibMemory, "Not enough memory" },
    { ZipErrorCause::ZlibBuffer, "Zlib library error (buffer error)" },
    { ZipErrorCause::ZlibVersion, "Zlib library error (version error)" },
};

const char* FindCauseText(int code)
{
    for (const auto& entry : s_causeTexts) {
        if (entry.code == code)
            return entry.text;
    }
    return nullptr;
}

CString WithSystemText(const char* text)
{
    CString system = DescribeSystemError();
    std::vector<char> buffer(std::strlen(text) + system.size() + 4);
    std::snprintf(buffer.data(), buffer.size(), "%s (%s)", text, system.c_str());
    return buffer.data();
}

} // namespace

CZipException::CZipException(int cause, const char* path)
    : archivePath(path ? path : "")
    , cause(cause)
{
}

CZipException CZipException::WithText(int cause, CString text)
{
    CZipException failure(cause);
    failure.message = std::move(text);
    return failure;
}

BOOL CZipException::GetErrorMessage(char* buffer, UINT maxChars, UINT*) const
{
    if (!buffer || maxChars == 0)
        return FALSE;
    CString text = message.empty() ? DescribeCause(cause, false) : message;
    if (text.empty())
        return FALSE;
    size_t n = std::min<size_t>(text.size(), maxChars - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return TRUE;
}

void ThrowZipError(int cause, const char* path)
{
    throw CZipException(cause, path);
}

bool IsWriterRefusal(int cause)
{
    return cause >= ZipErrorCause::WriterClosed && cause <= ZipErrorCause::NoRandomBytes;
}

int CauseFromZlib(int zlibResult)
{
    switch (zlibResult) {
    case Z_STREAM_END:
        return ZipErrorCause::ZlibStreamEnd;
    case Z_NEED_DICT:
        return ZipErrorCause::ZlibNeedDict;
    case Z_ERRNO:
        return ZipErrorCause::ZlibErrno;
    case Z_STREAM_ERROR:
        return ZipErrorCause::ZlibStream;
    case Z_DATA_ERROR:
        return ZipErrorCause::ZlibData;
    case Z_MEM_ERROR:
        return ZipErrorCause::ZlibMemory;
    case Z_BUF_ERROR:
        return ZipErrorCause::ZlibBuffer;
    case Z_VERSION_ERROR:
        return ZipErrorCause::ZlibVersion;
    default:
        return ZipErrorCause::Generic;
    }
}

CString DescribeCause(int code, bool noSystemFallback)
{
    switch (code) {
    case ZipErrorCause::RemoveFailed:
        return WithSystemText("Error while removing a file");
    case ZipErrorCause::RenameFailed:
        return WithSystemText("Error while renaming a file");
    case ZipErrorCause::ZlibErrno: {
        int error = errno;
        return DescribeCause(error == ZipErrorCause::ZlibErrno ? ZipErrorCause::Generic : error, false);
    }
    default:
        break;
    }
    if (const char* text = FindCauseText(code))
        return text;
    return noSystemFallback ? CString("Unknown error") : DescribeSystemError();
}

CString DescribeSystemError()
{
    DWORD code = GetLastError();
    if (code == 0) {
        // errno numbers from 100 on (EHOSTUNREACH is 113 here) would be read
        // as the layer's own causes, and 113, 114 and 502 describe the system
        // error in turn: that would never end. They have no text of ours.
        int error = errno;
        bool known = error > 0 && error < ZipErrorCause::Generic;
        return DescribeCause(known ? error : ZipErrorCause::Generic, true);
    }
    char* text = nullptr;
    DWORD length = FormatMessage(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, MakeLangId(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (!text)
        return {};
    CString result(text, length);
    LocalFree(text);
    return result;
}
