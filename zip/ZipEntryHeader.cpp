#include "zip/ZipEntryHeader.h"

#include "zip/ZipFileSystem.h"
#include "zip/ZipRecords.h"
#include "zip/ZipSource.h"

using namespace ZipRecords;

bool CZipEntryHeader::LoadCentralHeader(CZipSource& source)
{
    BYTE record[CentralHeaderSize];
    source.ReadBytes(record, CentralHeaderSize);

    signature = ReadDword(record);
    versionMadeBy = ReadWord(record + 4);
    versionNeeded = ReadWord(record + 6);
    flags = ReadWord(record + 8);
    method = ReadWord(record + 10);
    modTime = ReadWord(record + 12);
    modDate = ReadWord(record + 14);
    crc32 = ReadDword(record + 16);
    compressedSize = ReadDword(record + 20);
    uncompressedSize = ReadDword(record + 24);
    WORD nameLength = ReadWord(record + 28);
    WORD extraLength = ReadWord(record + 30);
    WORD commentLength = ReadWord(record + 32);
    diskStart = ReadWord(record + 34);
    internalAttributes = ReadWord(record + 36);
    externalAttributes = ReadDword(record + 38);
    localHeaderOffset = ReadDword(record + 42);

    if (signature != CentralHeaderSignature)
        return false;

    name.Allocate(nameLength);
    source.ReadBytes(name.data(), nameLength);
    extra.Allocate(extraLength);
    source.ReadBytes(extra.data(), extraLength);
    comment.Allocate(commentLength);
    source.ReadBytes(comment.data(), commentLength);
    return true;
}

bool CZipEntryHeader::CheckLocalHeader(CZipSource& source, WORD& localExtraLength)
{
    BYTE record[LocalHeaderSize];
    source.ReadBytes(record, LocalHeaderSize);

    if (ReadDword(record) != LocalHeaderSignature)
        return false;
    // Writers that stream an entry decide about the descriptor (bit 3) only
    // in the local header; what it says there is what the data looks like.
    WORD localFlags = ReadWord(record + 6);
    if ((localFlags & 0xF) != (flags & 0xF))
        flags = localFlags;
    WORD localMethod = ReadWord(record + 8);
    if (localMethod != method || (method != MethodStored && method != MethodDeflated))
        return false;
    WORD nameLength = ReadWord(record + 26);
    if (nameLength != name.size())
        return false;
    if (!(localFlags & FlagDataDescriptor) && !MatchesSizesAndCrc(record + 14))
        return false;

    localExtraLength = ReadWord(record + 28);
    source.Seek(nameLength, CZipFileInterface::current);
    return true;
}

bool CZipEntryHeader::MatchesSizesAndCrc(const BYTE* record) const
{
    return ReadDword(record) == crc32 && ReadDword(record + 4) == compressedSize
        && ReadDword(record + 8) == uncompressedSize;
}

CString CZipEntryHeader::GetFileName() const
{
    return CString(reinterpret_cast<const char*>(name.data()), name.size());
}

bool CZipEntryHeader::IsEncrypted() const
{
    return flags & FlagEncrypted;
}

bool CZipEntryHeader::HasDataDescriptor() const
{
    return flags & FlagDataDescriptor;
}

DWORD CZipEntryHeader::GetSystemAttributes() const
{
    using namespace ZipFileSystem;
    int system = MadeBySystem();
    bool folderName = !name.empty() && (name[name.size() - 1] == '\\' || name[name.size() - 1] == '/');
    if (IsKnownSystem(system)) {
        if (externalAttributes == 0 && folderName)
            return DefaultFolderAttributes;
        return TranslateAttributes(externalAttributes, system, CurrentSystemId());
    }
    return folderName ? DefaultFolderAttributes : DefaultFileAttributes;
}

bool CZipEntryHeader::IsDirectory() const
{
    return GetSystemAttributes() & 0x10;
}

std::time_t CZipEntryHeader::GetModificationTime() const
{
    return ZipFileSystem::DosTimeToCalendar(modTime, modDate);
}
