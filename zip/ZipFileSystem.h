#pragma once

#include "platform/Types.h"

#include <ctime>

class CZipBytes;

// Free functions by which the ZIP layer touches the file system, and the
// conversions of names, attributes and times between the systems that made
// an archive's entries and this host.
namespace ZipFileSystem {

// Folders, times and attributes. Failures are reported by the result.
bool GetCurrentFolder(CString& folder);
bool ChangeFolder(const char* path);
bool FolderExists(const char* path);
// 0 missing, -1 an existing folder, 1 an existing file.
int PathKind(const char* path);
bool CreateFolder(const char* path);
bool MakeFolderPath(const char* path);
bool ApplyAttributes(const char* path, DWORD attributes);
// -1 stands for now.
bool ApplyModTime(const char* path, std::time_t time);

// Host systems, as the high byte of "version made by" names them.
constexpr int SystemDos = 0;
constexpr int SystemUnix = 3;
constexpr int SystemOs2 = 6;
constexpr int SystemMacintosh = 7;
constexpr int SystemNtfs = 10;

constexpr DWORD DefaultFileAttributes = 0x81A40020;
constexpr DWORD DefaultFolderAttributes = 0x41FF0010;

int CurrentSystemId();
bool IsKnownSystem(int system);
bool HostIsBigEndian();

// Throws PlatformUnsupported for a pair of systems it cannot translate.
DWORD TranslateAttributes(DWORD attributes, int fromSystem, int toSystem);
// Local time; -1 when it cannot be represented.
std::time_t DosTimeToCalendar(WORD dosTime, WORD dosDate);
void ChangeSlashes(CZipBytes& buffer, bool toBackslash);
void ConvertOemAnsi(CZipBytes& buffer, bool ansiToOem);

// Little-endian record fields: copy out, and compare with bytes of a record.
void CopyRecordField(void* destination, const void* source, DWORD count);
bool RecordFieldEquals(const void* first, const void* second, DWORD count);

} // namespace ZipFileSystem
