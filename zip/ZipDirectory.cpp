#include "zip/ZipDirectory.h"

#include "zip/ZipException.h"
#include "zip/ZipFileSystem.h"
#include "zip/ZipRecords.h"
#include "zip/ZipSource.h"

#include <algorithm>
#include <cstring>

using namespace ZipRecords;

CZipDirectory::CZipDirectory(CZipSource& source)
    : source(source)
{
}

void CZipDirectory::Reset()
{
    onDisk = false;
    endRecordPosition = 0;
    bytesBeforeArchive = 0;
    currentEntry = nullptr;
    comment.Release();
    centralDirectorySize = 0;
    centralDirectoryOffset = 0;
}

void CZipDirectory::Clear(bool everything)
{
    currentEntry = nullptr;
    localExtra.Release();
    if (everything) {
        headers.clear();
        comment.Release();
    }
}

void CZipDirectory::ThrowError(int cause) const
{
    source.ThrowError(cause);
}

// The end record sits within the last 65,557 bytes (22 of its own, and a
// comment of up to 65,535). Read that tail backwards in 32 KB chunks that
// overlap by three bytes, so that a signature split across two reads is still
// seen, and take the signature nearest the end.
DWORD CZipDirectory::LocateEndRecord()
{
    DWORD length = source.GetLength();
    DWORD limit = std::min(length, EndRecordSearchLimit);
    if (limit == 0)
        ThrowError(ZipErrorCause::NoCentralDirectory);

    CZipBytes buffer;
    buffer.Allocate(SearchBufferSize);
    DWORD covered = 0;
    for (;;) {
        DWORD reach = std::min(covered + SearchBufferSize, limit);
        DWORD chunk = reach - covered;
        source.Seek(LONG(length - reach));
        source.ReadBytes(buffer.data(), chunk);
        for (DWORD offset = chunk >= 4 ? chunk - 4 + 1 : 0; offset-- > 0;) {
            if (ReadDword(buffer.data() + offset) == EndRecordSignature)
                return length - reach + offset;
        }
        if (reach >= limit)
            break;
        covered = reach - 3;
    }
    ThrowError(ZipErrorCause::NoCentralDirectory);
}

void CZipDirectory::ReadDirectory()
{
    endRecordPosition = LocateEndRecord();
    source.Seek(LONG(endRecordPosition));
    BYTE record[EndRecordSize];
    source.ReadBytes(record, EndRecordSize);

    endSignature = ReadDword(record);
    thisDisk = ReadWord(record + 4);
    centralDirectoryDisk = ReadWord(record + 6);
    entriesOnThisDisk = ReadWord(record + 8);
    totalEntries = ReadWord(record + 10);
    centralDirectorySize = ReadDword(record + 12);
    centralDirectoryOffset = ReadDword(record + 16);
    WORD commentLength = ReadWord(record + 20);

    source.SetCurrentDisk(thisDisk);

    // 64-bit sum: offset and size must not wrap around to pass the check.
    bool single = source.IsSingleFile();
    if (single && endRecordPosition < std::uint64_t(centralDirectoryOffset) + centralDirectorySize)
        ThrowError(ZipErrorCause::Damaged);

    if (commentLength) {
        comment.Allocate(commentLength);
        source.ReadBytes(comment.data(), commentLength);
    }

    // Data in front of the archive (a self-extracting stub, say) shifts every
    // offset the directory holds by this much.
    bytesBeforeArchive = single ? endRecordPosition - centralDirectoryOffset - centralDirectorySize : 0;

    if ((centralDirectorySize == 0) != (totalEntries == 0))
        ThrowError(ZipErrorCause::Damaged);

    onDisk = true;
    source.ChangeDisk(centralDirectoryDisk);

    if (centralDirectorySize == 0)
        return;

    source.Seek(LONG(bytesBeforeArchive + centralDirectoryOffset));
    headers.clear();
    headers.reserve(totalEntries);
    for (WORD i = 0; i < totalEntries; ++i) {
        headers.push_back(std::make_unique<CZipEntryHeader>());
        CZipEntryHeader& header = *headers.back();
        if (!header.LoadCentralHeader(source))
            ThrowError(ZipErrorCause::Damaged);
        if (convertNamesOnLoad)
            ConvertNameFromArchive(header, oemConversion);
    }
    if (!headers.empty())
        SortHeaders();
}

// Index order is data order. Two entries that claim the same local header
// would be read from the same bytes: the archive is damaged.
void CZipDirectory::SortHeaders()
{
    auto key = [](const std::unique_ptr<CZipEntryHeader>& h) {
        return std::pair<WORD, DWORD>(h->diskStart, h->localHeaderOffset);
    };
    std::stable_sort(
        headers.begin(), headers.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); });
    for (size_t i = 1; i < headers.size(); ++i) {
        if (key(headers[i - 1]) == key(headers[i]))
            ThrowZipError(ZipErrorCause::Damaged);
    }
}

void CZipDirectory::ConvertNameFromArchive(CZipEntryHeader& header, bool oemConversion)
{
    ZipFileSystem::ChangeSlashes(header.name, true);
    if (header.MadeBySystem() == ZipFileSystem::SystemDos && oemConversion)
        ZipFileSystem::ConvertOemAnsi(header.name, false);
}

void CZipDirectory::PositionAtEntry(WORD index)
{
    currentEntry = headers[index].get();
    source.ChangeDisk(currentEntry->diskStart);
    source.Seek(LONG(bytesBeforeArchive + currentEntry->localHeaderOffset));
    WORD localExtraLength = 0;
    if (!currentEntry->CheckLocalHeader(source, localExtraLength))
        ThrowError(ZipErrorCause::Damaged);
    localExtra.Release();
    if (localExtraLength) {
        int disk = source.GetCurrentDisk();
        localExtra.Allocate(localExtraLength);
        source.ReadBytes(localExtra.data(), localExtraLength);
        if (disk != source.GetCurrentDisk())
            ThrowError(ZipErrorCause::Damaged);
    }
}

void CZipDirectory::FinishEntry(bool afterException)
{
    if (!currentEntry)
        return;
    localExtra.Release();
    if (!afterException && currentEntry->HasDataDescriptor()) {
        // The descriptor's signature is optional: without it the CRC-32 comes first.
        BYTE descriptor[DataDescriptorSize];
        source.ReadBytes(descriptor, 4, false);
        if (ReadDword(descriptor) != DataDescriptorSignature)
            source.Seek(-4, CZipFileInterface::current);
        source.ReadBytes(descriptor, DataDescriptorSize, false);
        if (!currentEntry->MatchesSizesAndCrc(descriptor))
            ThrowError(ZipErrorCause::Damaged);
    }
    currentEntry = nullptr;
}
