#pragma once

#include "platform/Exception.h"

// The causes a CZipException carries. Numbers 1..30 are the run-time
// library's errno values; the layer's own start at 100.
namespace ZipErrorCause {
enum : int {
    Generic = 100,
    Damaged = 101,
    CrcMismatch = 102,
    NoSpanCallback = 103,
    DiskChangeAborted = 104,
    ActionAborted = 105,
    ActionAbortedSafely = 106,
    NotRemovable = 107,
    TooManyVolumes = 108,
    NameTooLong = 109,
    BadPassword = 110,
    DirectoryWithSize = 111,
    InternalError = 112,
    RemoveFailed = 113,
    RenameFailed = 114,
    PlatformUnsupported = 115,
    NoCentralDirectory = 116,
    // The writer's refusals (zip/ZipWriter.h); the exception's text names
    // what was refused.
    WriterClosed = 117,
    EntryRefused = 118,
    BeyondZip32 = 119,
    DataChanged = 120,
    CommentRefused = 121,
    NoRandomBytes = 122,
    ZlibStreamEnd = 500,
    ZlibNeedDict = 501,
    ZlibErrno = 502,
    ZlibStream = 503,
    ZlibData = 504,
    ZlibMemory = 505,
    ZlibBuffer = 506,
    ZlibVersion = 507,
};
} // namespace ZipErrorCause

// A failure inside the ZIP layer: what went wrong, and the archive's path
// when the archive lives in a file (empty for one held in memory). The
// writer's refusals carry a text of their own that makes the cause's
// particular ("cannot add "a.swf": ...").
class CZipException : public CException {
public:
    explicit CZipException(int cause = ZipErrorCause::Generic, const char* path = nullptr);
    // A failure whose text says more than the cause's.
    static CZipException WithText(int cause, CString text);

    // Copies the text, or else DescribeCause(cause, false), cut to
    // maxChars - 1 characters.
    BOOL GetErrorMessage(char* buffer, UINT maxChars, UINT* helpContext = nullptr) const override;

    CString archivePath {};
    int cause { ZipErrorCause::Generic };
    CString message {};
};

[[noreturn]] void ThrowZipError(int cause, const char* path = nullptr);

// Whether `cause` is one of the writer's refusals.
bool IsWriterRefusal(int cause);

// Maps a zlib return code to a cause; codes without a cause of their own
// (Z_OK among them) give Generic.
int CauseFromZlib(int zlibResult);

// The text for a cause. Codes without a text of their own describe as
// "Unknown error" when noSystemFallback is set and as the system's last error
// otherwise.
CString DescribeCause(int code, bool noSystemFallback);

// The system's text for its last error, or, when there is none, the text of
// the current errno.
CString DescribeSystemError();
