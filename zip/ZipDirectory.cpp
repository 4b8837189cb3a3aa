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

void CZipDirectory::Clear()
{
    currentEntry = nullptr;
    headers.clear();
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
    Clear();
    bytesBeforeArchive = 0;
    DWORD endRecordPosition = LocateEndRecord();
    source.Seek(LONG(endRecordPosition));
    BYTE record[EndRecordSize];
    source.ReadBytes(record, EndRecordSize);

    WORD thisDisk = ReadWord(record + 4);
    WORD centralDirectoryDisk = ReadWord(record + 6);
    WORD totalEntries = ReadWord(record + 10);
    DWORD centralDirectorySize = ReadDword(record + 12);
    DWORD centralDirectoryOffset = ReadDword(record + 16);
    WORD commentLength = ReadWord(record + 20);

    source.RequireSingleVolume(thisDisk);

    // 64-bit sum: offset and size must not wrap around to pass the check.
    if (endRecordPosition < std::uint64_t(centralDirectoryOffset) + centralDirectorySize)
        ThrowError(ZipErrorCause::Damaged);

    // Nothing uses the comment, but it must be there whole.
    CZipBytes comment;
    comment.Allocate(commentLength);
    source.ReadBytes(comment.data(), commentLength);

    // Data in front of the archive (a self-extracting stub, say) shifts every
    // offset the directory holds by this much.
    bytesBeforeArchive = endRecordPosition - centralDirectoryOffset - centralDirectorySize;

    if ((centralDirectorySize == 0) != (totalEntries == 0))
        ThrowError(ZipErrorCause::Damaged);

    source.RequireSingleVolume(centralDirectoryDisk);

    if (centralDirectorySize == 0)
        return;

    source.Seek(LONG(bytesBeforeArchive + centralDirectoryOffset));
    headers.reserve(totalEntries);
    for (WORD i = 0; i < totalEntries; ++i) {
        headers.push_back(std::make_unique<CZipEntryHeader>());
        CZipEntryHeader& header = *headers.back();
        if (!header.LoadCentralHeader(source))
            ThrowError(ZipErrorCause::Damaged);
        ConvertNameFromArchive(header);
    }
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

void CZipDirectory::ConvertNameFromArchive(CZipEntryHeader& header)
{
    ZipFileSystem::ChangeSlashes(header.name, true);
    if (header.MadeBySystem() == ZipFileSystem::SystemDos)
        ZipFileSystem::ConvertOemAnsi(header.name, false);
}

void CZipDirectory::PositionAtEntry(WORD index)
{
    currentEntry = headers[index].get();
    source.RequireSingleVolume(currentEntry->diskStart);
    source.Seek(LONG(bytesBeforeArchive + currentEntry->localHeaderOffset));
    WORD localExtraLength = 0;
    if (!currentEntry->CheckLocalHeader(source, localExtraLength))
        ThrowError(ZipErrorCause::Damaged);
    // The local extra field is not used, but the data follows it.
    CZipBytes localExtra;
    localExtra.Allocate(localExtraLength);
    source.ReadBytes(localExtra.data(), localExtraLength);
}

void CZipDirectory::FinishEntry(bool afterException)
{
    if (!currentEntry)
        return;
    if (!afterException && currentEntry->HasDataDescriptor()) {
        // The descriptor's signature is optional: without it the CRC-32 comes first.
        BYTE descriptor[DataDescriptorSize];
        source.ReadBytes(descriptor, 4);
        if (ReadDword(descriptor) != DataDescriptorSignature)
            source.Seek(-4, CZipFileInterface::current);
        source.ReadBytes(descriptor, DataDescriptorSize);
        if (!currentEntry->MatchesSizesAndCrc(descriptor))
            ThrowError(ZipErrorCause::Damaged);
    }
    currentEntry = nullptr;
}
