// Writing a new archive: local headers and data, central directory, end
// record.

#include "zip/ZipWriter.h"

#include "platform/LittleEndianWriter.h"
#include "zip/ZipFileInterface.h"
#include "zip/ZipFileSystem.h"
#include "zip/ZipRecords.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/random.h>
#include <zlib.h>

namespace {

constexpr WORD VersionStored = 10; // 1.0: stored data, folders
constexpr WORD VersionDeflatedOrEncrypted = 20; // 2.0
constexpr WORD VersionMadeBy = 20;
constexpr WORD FlagUtf8Name = 0x0800;
// Where CRC-32, compressed and uncompressed size sit in a local header.
constexpr DWORD LocalCrcOffset = 14;

// The fields a local header and a central header hold alike, in the order
// both records keep them: version needed through the name's length.
void PutSharedFields(LittleEndianWriter& out, const CZipEntryHeader& header)
{
    out.U16(header.versionNeeded);
    out.U16(header.flags);
    out.U16(header.method);
    out.U16(header.modTime);
    out.U16(header.modDate);
    out.U32(header.crc32);
    out.U32(header.compressedSize);
    out.U32(header.uncompressedSize);
    out.U16(WORD(header.name.size()));
}

void PutName(LittleEndianWriter& out, const CZipEntryHeader& header)
{
    out.Bytes({ header.name.data(), header.name.size() });
}

} // namespace

const char* CZipWriter::NameProblem(const CString& name, bool folder)
{
    if (name.empty() || name == "/")
        return "an empty name";
    if (name.size() > 0xFFFF)
        return "a name longer than 65535 bytes";
    if (name.find('\0') != CString::npos)
        return "a NUL byte in the name";
    if (name.find('\\') != CString::npos)
        return "a backslash in the name (it separates folders when the package is read)";
    if (name.front() == '/')
        return "an absolute name";
    if (folder != (name.back() == '/'))
        return folder ? "a folder name without a trailing \"/\"" : "a file name with a trailing \"/\"";
    CString path = folder ? name.substr(0, name.size() - 1) : name;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == CString::npos)
            end = path.size();
        CString part = path.substr(start, end - start);
        if (part.empty())
            return "an empty folder in the name";
        if (part == "." || part == "..")
            return "a \".\" or \"..\" folder in the name";
        start = end + 1;
    }
    return nullptr;
}

namespace {

bool HasNonAsciiByte(const CString& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return BYTE(c) >= 0x80; });
}

void FillRandom(BYTE* bytes, size_t count)
{
    while (count > 0) {
        ssize_t n = ::getrandom(bytes, count, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw CZipException::WithText(ZipErrorCause::NoRandomBytes,
                "no random bytes for the encryption header: " + CString(std::strerror(errno)));
        }
        bytes += n;
        count -= size_t(n);
    }
}

// Ends a deflate stream however the entry ends.
class CDeflater {
public:
    explicit CDeflater(int level)
    {
        int result = deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        if (result != Z_OK)
            ThrowZipError(CauseFromZlib(result));
    }
    ~CDeflater() { deflateEnd(&stream); }
    CDeflater(const CDeflater&) = delete;
    CDeflater& operator=(const CDeflater&) = delete;

    z_stream stream {};
};

} // namespace

CZipWriter::CZipWriter(CZipFileInterface& file)
    : target(file)
{
}

void CZipWriter::SetPassword(const CString& text)
{
    password = text;
}

void CZipWriter::SetLevel(int newLevel)
{
    level = std::clamp(newLevel, 1, 9);
}

void CZipWriter::DosTimeFromCalendar(std::time_t time, WORD& dosTime, WORD& dosDate)
{
    std::tm local {};
    if (!localtime_r(&time, &local) || local.tm_year < 80) {
        dosTime = 0;
        dosDate = (1 << 5) | 1;
        return;
    }
    if (local.tm_year > 207) {
        dosTime = WORD((23 << 11) | (59 << 5) | 29);
        dosDate = WORD((127 << 9) | (12 << 5) | 31);
        return;
    }
    // A leap second (60) would overflow the five bits of the halved seconds.
    int seconds = std::min(local.tm_sec, 59);
    dosTime = WORD((local.tm_hour << 11) | (local.tm_min << 5) | (seconds / 2));
    dosDate = WORD(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
}

void CZipWriter::Fail(int cause, const CString& text) const
{
    throw CZipException::WithText(cause, text);
}

void CZipWriter::CheckFits(std::uint64_t value, const CString& what) const
{
    if (value > MaxFieldValue)
        Fail(ZipErrorCause::BeyondZip32,
            what + " goes beyond the 4 GB a ZIP archive without Zip64 can address");
}

// Called for every chunk of an entry: the message is only put together when
// it is needed.
void CZipWriter::CheckEntryFits(std::uint64_t value, const CString& name, const char* part) const
{
    if (value > MaxFieldValue)
        CheckFits(value, "\"" + name + "\"" + part);
}

CZipEntryHeader CZipWriter::MakeHeader(const CZipNewEntry& entry, bool folder)
{
    if (finished)
        Fail(ZipErrorCause::WriterClosed, "the archive is already finished");
    if (broken)
        Fail(ZipErrorCause::WriterClosed, "an earlier write failed; the archive cannot be continued");
    if (const char* problem = NameProblem(entry.name, folder))
        Fail(ZipErrorCause::EntryRefused, "cannot add \"" + entry.name + "\": " + problem);
    if (headers.size() >= MaxEntries)
        Fail(ZipErrorCause::BeyondZip32,
            "cannot add \"" + entry.name + "\": a ZIP archive without Zip64 holds at most 65535 entries");
    if (names.count(entry.name))
        Fail(ZipErrorCause::EntryRefused,
            "cannot add \"" + entry.name + "\": the archive already holds an entry of that name");
    if (!folder && entry.method != ZipRecords::MethodStored && entry.method != ZipRecords::MethodDeflated)
        Fail(ZipErrorCause::EntryRefused,
            "cannot add \"" + entry.name + "\": only the stored and deflated methods are written");
    bool encrypt = entry.encrypt && !folder;
    if (encrypt && password.empty())
        Fail(ZipErrorCause::EntryRefused,
            "cannot add \"" + entry.name + "\": encryption asked for without a password");
    CheckFits(written, "the archive");

    CZipEntryHeader header;
    header.signature = ZipRecords::CentralHeaderSignature;
    header.versionMadeBy = WORD((entry.madeBySystem << 8) | VersionMadeBy);
    header.method = folder ? ZipRecords::MethodStored : entry.method;
    header.flags = encrypt ? ZipRecords::FlagEncrypted : 0;
    if (HasNonAsciiByte(entry.name))
        header.flags |= FlagUtf8Name;
    header.versionNeeded = (encrypt || header.method == ZipRecords::MethodDeflated)
        ? VersionDeflatedOrEncrypted
        : VersionStored;
    header.modTime = entry.modTime;
    header.modDate = entry.modDate;
    header.externalAttributes = entry.externalAttributes;
    header.localHeaderOffset = DWORD(written);
    // The stored form: the host's code page to OEM (made on MS-DOS only), "/"
    // between folders.
    header.name.Allocate(DWORD(entry.name.size()));
    std::memcpy(header.name.data(), entry.name.data(), entry.name.size());
    if (entry.madeBySystem == ZipFileSystem::SystemDos)
        ZipFileSystem::ConvertOemAnsi(header.name, true);
    ZipFileSystem::ChangeSlashes(header.name, false);
    return header;
}

void CZipWriter::Commit(CZipEntryHeader header, const CString& name)
{
    names.insert(name);
    headers.push_back(std::move(header));
}

void CZipWriter::AddFolder(const CZipNewEntry& entry)
{
    CZipEntryHeader header = MakeHeader(entry, true);
    try {
        WriteLocalHeader(header);
    } catch (...) {
        broken = true;
        throw;
    }
    Commit(std::move(header), entry.name);
}

void CZipWriter::AddFile(const CZipNewEntry& entry, CZipFileInterface& data)
{
    CZipEntryHeader header = MakeHeader(entry, false);
    bool encrypt = header.flags & ZipRecords::FlagEncrypted;
    inBuffer.resize(ChunkSize);
    outBuffer.resize(ChunkSize);
    try {
        // The encryption header needs the CRC-32 before the first byte goes out.
        DWORD firstCrc = 0;
        std::uint64_t firstSize = 0;
        if (encrypt) {
            data.SeekToBegin();
            firstCrc = DWORD(crc32(0, nullptr, 0));
            while (UINT n = data.Read(inBuffer.data(), ChunkSize)) {
                firstCrc = DWORD(crc32(firstCrc, inBuffer.data(), n));
                firstSize += n;
                CheckEntryFits(firstSize, entry.name, "");
            }
        }
        data.SeekToBegin();

        WriteLocalHeader(header);
        std::uint64_t dataStart = written;
        if (encrypt) {
            cipher.InitKeys(reinterpret_cast<const BYTE*>(password.data()), DWORD(password.size()));
            BYTE encryptionHeader[ZipRecords::EncryptionHeaderSize];
            FillRandom(encryptionHeader, sizeof encryptionHeader - 1);
            encryptionHeader[sizeof encryptionHeader - 1] = BYTE(firstCrc >> 24);
            EmitEncrypted(encryptionHeader, sizeof encryptionHeader, true);
        }
        DWORD crc = DWORD(crc32(0, nullptr, 0));
        std::uint64_t size = CopyData(header, data, encrypt, crc);
        if (encrypt && (crc != firstCrc || size != firstSize))
            Fail(ZipErrorCause::DataChanged, "\"" + entry.name + "\" changed while it was being added");

        CheckEntryFits(size, entry.name, "");
        CheckEntryFits(written - dataStart, entry.name, " compressed");
        header.crc32 = crc;
        header.uncompressedSize = DWORD(size);
        header.compressedSize = DWORD(written - dataStart);
        PatchLocalHeader(header);
    } catch (const CZipException& e) {
        // Nothing usable follows the half-written entry.
        broken = !IsWriterRefusal(e.cause) || written != header.localHeaderOffset;
        throw;
    } catch (...) {
        broken = true;
        throw;
    }
    Commit(std::move(header), entry.name);
}

std::uint64_t CZipWriter::CopyData(
    const CZipEntryHeader& header, CZipFileInterface& data, bool encrypt, DWORD& crc)
{
    std::uint64_t size = 0;
    if (header.method == ZipRecords::MethodStored) {
        while (UINT n = data.Read(inBuffer.data(), ChunkSize)) {
            crc = DWORD(crc32(crc, inBuffer.data(), n));
            size += n;
            CheckEntryFits(size, header.GetFileName(), "");
            EmitEncrypted(inBuffer.data(), n, encrypt);
        }
        return size;
    }

    CDeflater deflater(level);
    z_stream& stream = deflater.stream;
    int flush = Z_NO_FLUSH;
    do {
        UINT n = data.Read(inBuffer.data(), ChunkSize);
        crc = DWORD(crc32(crc, inBuffer.data(), n));
        size += n;
        CheckEntryFits(size, header.GetFileName(), "");
        flush = n == 0 ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = inBuffer.data();
        stream.avail_in = n;
        do {
            stream.next_out = outBuffer.data();
            stream.avail_out = ChunkSize;
            int result = deflate(&stream, flush);
            if (result == Z_STREAM_ERROR)
                ThrowZipError(CauseFromZlib(result));
            EmitEncrypted(outBuffer.data(), ChunkSize - stream.avail_out, encrypt);
        } while (stream.avail_out == 0);
    } while (flush != Z_FINISH);
    return size;
}

void CZipWriter::WriteLocalHeader(const CZipEntryHeader& header)
{
    std::vector<BYTE> record;
    record.reserve(ZipRecords::LocalHeaderSize + header.name.size());
    LittleEndianWriter out(record);
    out.U32(ZipRecords::LocalHeaderSignature);
    PutSharedFields(out, header);
    out.U16(0); // no extra field
    PutName(out, header);
    Emit(record.data(), record.size());
}

void CZipWriter::PatchLocalHeader(const CZipEntryHeader& header)
{
    std::vector<BYTE> fields;
    LittleEndianWriter out(fields);
    out.U32(header.crc32);
    out.U32(header.compressedSize);
    out.U32(header.uncompressedSize);

    // Relative seeks only: the target's own positions may not start at 0 and
    // a LONG reaches 2 GB at most.
    auto seekBy = [this](std::int64_t distance) {
        while (distance != 0) {
            std::int64_t step = std::clamp<std::int64_t>(distance, -0x7FFFFFFF, 0x7FFFFFFF);
            target.Seek(LONG(step), CZipFileInterface::current);
            distance -= step;
        }
    };
    std::int64_t back = std::int64_t(written - header.localHeaderOffset - LocalCrcOffset);
    seekBy(-back);
    target.Write(fields.data(), UINT(fields.size()));
    seekBy(back - std::int64_t(fields.size()));
}

void CZipWriter::Emit(const void* bytes, size_t count)
{
    if (count == 0)
        return;
    target.Write(bytes, UINT(count));
    written += count;
}

void CZipWriter::EmitEncrypted(BYTE* bytes, size_t count, bool encrypt)
{
    if (encrypt) {
        for (size_t i = 0; i < count; ++i)
            cipher.EncodeByte(bytes[i]);
    }
    Emit(bytes, count);
}

void CZipWriter::Finish(const CString& comment)
{
    if (finished)
        Fail(ZipErrorCause::WriterClosed, "the archive is already finished");
    if (broken)
        Fail(ZipErrorCause::WriterClosed, "an earlier write failed; the archive cannot be finished");
    if (comment.size() > 0xFFFF)
        Fail(ZipErrorCause::CommentRefused, "an archive comment longer than 65535 bytes");
    if (comment.find("PK\x05\x06") != CString::npos)
        Fail(ZipErrorCause::CommentRefused, "an archive comment that holds an end record signature");

    std::uint64_t directoryOffset = written;
    CheckFits(directoryOffset, "the central directory");
    try {
        std::vector<BYTE> record;
        LittleEndianWriter out(record);
        for (const CZipEntryHeader& header : headers) {
            record.clear();
            out.U32(ZipRecords::CentralHeaderSignature);
            out.U16(header.versionMadeBy);
            PutSharedFields(out, header);
            out.U16(0); // extra field
            out.U16(0); // comment
            out.U16(0); // disk number start
            out.U16(header.internalAttributes);
            out.U32(header.externalAttributes);
            out.U32(header.localHeaderOffset);
            PutName(out, header);
            Emit(record.data(), record.size());
        }
        std::uint64_t directorySize = written - directoryOffset;
        CheckFits(directorySize, "the central directory");
        CheckFits(written, "the end record");

        record.clear();
        out.U32(ZipRecords::EndRecordSignature);
        out.U16(0); // this disk
        out.U16(0); // disk of the central directory
        out.U16(WORD(headers.size()));
        out.U16(WORD(headers.size()));
        out.U32(DWORD(directorySize));
        out.U32(DWORD(directoryOffset));
        out.U16(WORD(comment.size()));
        out.Text(comment);
        Emit(record.data(), record.size());
    } catch (...) {
        broken = true;
        throw;
    }
    finished = true;
}
