#pragma once

#include "zip/ZipDecryptor.h"
#include "zip/ZipEntryHeader.h"
#include "zip/ZipException.h"

#include <cstdint>
#include <ctime>
#include <set>
#include <vector>

class CZipFileInterface;

// What the caller says about one entry it adds. The writer works out the
// CRC-32, the sizes and the offsets itself.
struct CZipNewEntry {
    // "/" separates folders; a folder's name ends in "/".
    CString name {};
    WORD method { 8 };
    bool encrypt { false };
    // The high byte of "version made by": the system whose attributes
    // externalAttributes are.
    BYTE madeBySystem { 0 };
    DWORD externalAttributes { 0 };
    WORD modTime { 0 };
    WORD modDate { 0 };
};

// Writes a new archive front to back: each entry's local header and data,
// then the central directory and the end record. Entry data is read from a
// CZipFileInterface in 64 KB pieces and never held whole.
//
// The target must be positioned where the archive starts; offsets in the
// archive count from there, so whatever precedes it (an executable) does not
// show in them. The target must allow seeking back within what was written:
// a local header's CRC-32 and sizes are filled in once the entry's data is
// out.
//
// Encrypted entries use the traditional PKWARE cipher. Its 12-byte header
// ends in the high byte of the entry's CRC-32, so an encrypted entry's data
// is read twice: once for the CRC, once to compress and encrypt. The two
// reads must agree. No data descriptors, no Zip64, no extra fields.
//
// What the format cannot express (too many entries, sizes beyond 32 bits),
// a bad name, or data that changed while it was being read is refused with
// a CZipException of one of the writer's causes (IsWriterRefusal) whose text
// says which.
class CZipWriter {
public:
    static constexpr DWORD ChunkSize = 65536;
    static constexpr DWORD MaxEntries = 0xFFFF;
    // 0xFFFFFFFF in a size or offset field means "see Zip64" to other readers.
    static constexpr std::uint64_t MaxFieldValue = 0xFFFFFFFEu;

    explicit CZipWriter(CZipFileInterface& target);
    CZipWriter(const CZipWriter&) = delete;
    CZipWriter& operator=(const CZipWriter&) = delete;

    // The password of the entries added with `encrypt` set, taken as bytes.
    void SetPassword(const CString& password);
    // 1 to 9; zlib's default (6) until set.
    void SetLevel(int level);

    // A folder entry: no data, sizes 0, stored.
    void AddFolder(const CZipNewEntry& entry);
    // A file entry whose bytes are `data` from its beginning to its end.
    void AddFile(const CZipNewEntry& entry, CZipFileInterface& data);
    // Writes the central directory and the end record. Nothing can be added
    // afterwards.
    void Finish(const CString& comment = {});

    int GetEntryCount() const { return int(headers.size()); }
    // Bytes written so far, from the archive's first byte.
    std::uint64_t GetArchiveSize() const { return written; }
    bool IsFinished() const { return finished; }

    // The DOS time and date of a calendar time in local time. Times before
    // 1980 give 1 January 1980, times after 2107 the last second DOS can
    // express; odd seconds are rounded down.
    static void DosTimeFromCalendar(std::time_t time, WORD& dosTime, WORD& dosDate);

    // Why `name` cannot be an entry's name, or null when it can: empty,
    // absolute, with a backslash (a separator to the reader), an empty, "."
    // or ".." folder, longer than 65535 bytes, or a folder name without its
    // trailing "/" (a file name with one).
    static const char* NameProblem(const CString& name, bool folder);

private:
    CZipEntryHeader MakeHeader(const CZipNewEntry& entry, bool folder);
    void Commit(CZipEntryHeader header, const CString& name);
    std::uint64_t CopyData(const CZipEntryHeader& header, CZipFileInterface& data, bool encrypt, DWORD& crc);
    void WriteLocalHeader(const CZipEntryHeader& header);
    void PatchLocalHeader(const CZipEntryHeader& header);
    void Emit(const void* bytes, std::size_t count);
    void EmitEncrypted(BYTE* bytes, std::size_t count, bool encrypt);
    void CheckFits(std::uint64_t value, const CString& what) const;
    void CheckEntryFits(std::uint64_t value, const CString& name, const char* part) const;
    [[noreturn]] void Fail(int cause, const CString& text) const;

    CZipFileInterface& target;
    std::vector<CZipEntryHeader> headers {};
    std::set<CString> names {};
    CString password {};
    CZipDecryptor cipher {};
    std::vector<BYTE> inBuffer {};
    std::vector<BYTE> outBuffer {};
    std::uint64_t written { 0 };
    int level { -1 };
    bool finished { false };
    // Set when a write failed halfway: the archive cannot be continued.
    bool broken { false };
};
