#pragma once

#include "platform/Types.h"

#include <ctime>

class CZipBytes;

// Free functions by which the ZIP layer touches the file system, and the
// conversions of names, attributes and times between the systems that made
// an archive's entries and this host.
namespace ZipFileSystem {

// Folders, times and attributes. Failures are reported by the result.
enum class PathType { missing, folder, file };
// What `path` names, symbolic links followed; asks the file system and
// never changes the process's current folder.
PathType PathKind(const char* path);
bool FolderExists(const char* path);
// Creates the folder `path` and every missing folder above it.
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

// Throws PlatformUnsupported for a pair of systems it cannot translate.
DWORD TranslateAttributes(DWORD attributes, int fromSystem, int toSystem);
// Local time; -1 when it cannot be represented.
std::time_t DosTimeToCalendar(WORD dosTime, WORD dosDate);
void ChangeSlashes(CZipBytes& buffer, bool toBackslash);
void ConvertOemAnsi(CZipBytes& buffer, bool ansiToOem);

} // namespace ZipFileSystem
