#include "support/ArchiveBuilder.h"

#include "platform/LittleEndianWriter.h"
#include "zip/ZipDecryptor.h"

#include <stdexcept>
#include <zlib.h>

namespace {

// What an entry's records say, and the bytes that follow its local header.
struct Resolved {
    DWORD crc;
    DWORD compressedSize;
    DWORD uncompressedSize;
    WORD flags;
    Bytes data;
};

Resolved Resolve(const TestEntry& entry)
{
    Resolved r {};
    Bytes packed = entry.payload ? *entry.payload : (entry.method == 8 ? Deflate(entry.plain) : entry.plain);
    r.crc = entry.crc.value_or(Crc32(entry.plain));
    r.flags = WORD((entry.password.empty() ? 0 : 1) | (entry.descriptor ? 8 : 0));
    if (!entry.password.empty()) {
        CZipDecryptor keys;
        keys.InitKeys(reinterpret_cast<const BYTE*>(entry.password.data()), DWORD(entry.password.size()));
        Bytes header { 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB };
        header.push_back(
            entry.checkByte.value_or(entry.descriptor ? BYTE(entry.modTime >> 8) : BYTE(r.crc >> 24)));
        header.insert(header.end(), packed.begin(), packed.end());
        for (BYTE& b : header)
            keys.EncodeByte(b);
        packed = header;
    }
    r.compressedSize = entry.compressedSize.value_or(DWORD(packed.size()));
    r.uncompressedSize = entry.uncompressedSize.value_or(DWORD(entry.plain.size()));
    r.data = packed;
    return r;
}

} // namespace

Bytes ToBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Deflate(const Bytes& plain, int level, int strategy)
{
    z_stream stream {};
    if (deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, strategy) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    Bytes out(deflateBound(&stream, uLong(plain.size())) + 16);
    stream.next_in = const_cast<Bytef*>(plain.data());
    stream.avail_in = uInt(plain.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    int result = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate did not finish");
    out.resize(stream.total_out);
    return out;
}

DWORD Crc32(const Bytes& data)
{
    return DWORD(::crc32(0, data.data(), uInt(data.size())));
}

Bytes NoiseBytes(size_t count, unsigned seed)
{
    Bytes out(count);
    DWORD state = seed * 2654435761u + 1;
    for (auto& b : out) {
        state = state * 1664525u + 1013904223u;
        b = BYTE(state >> 24);
    }
    return out;
}

TestEntry& TestArchive::Add(std::string name, Bytes plain, WORD method)
{
    TestEntry entry;
    entry.name = std::move(name);
    entry.plain = std::move(plain);
    entry.method = method;
    entries.push_back(std::move(entry));
    return entries.back();
}

Bytes TestArchive::Build() const
{
    Bytes bytes;
    LittleEndianWriter out(bytes);
    std::vector<Resolved> resolved;
    localOffsets.clear();
    for (const auto& entry : entries) {
        Resolved r = Resolve(entry);
        localOffsets.push_back(DWORD(out.Size()));
        out.U32(0x04034B50);
        out.U16(20);
        out.U16(r.flags);
        out.U16(entry.localMethod.value_or(entry.method));
        out.U16(entry.modTime);
        out.U16(entry.modDate);
        // A streaming writer does not know these yet when it writes the local header.
        out.U32(entry.descriptor ? 0 : entry.localCrc.value_or(r.crc));
        out.U32(entry.descriptor ? 0 : r.compressedSize);
        out.U32(entry.descriptor ? 0 : r.uncompressedSize);
        out.U16(WORD(entry.name.size()));
        out.U16(WORD(entry.localExtra.size()));
        out.Text(entry.name);
        out.Bytes(entry.localExtra);
        out.Bytes(r.data);
        if (entry.descriptor) {
            if (entry.descriptorSignature)
                out.U32(0x08074B50);
            out.U32(entry.descriptorCrc.value_or(r.crc));
            out.U32(r.compressedSize);
            out.U32(r.uncompressedSize);
        }
        resolved.push_back(std::move(r));
    }

    DWORD centralStart = DWORD(out.Size());
    std::vector<size_t> order = centralOrder;
    if (order.empty()) {
        for (size_t i = 0; i < entries.size(); ++i)
            order.push_back(i);
    }
    for (size_t i : order) {
        const TestEntry& entry = entries[i];
        const Resolved& r = resolved[i];
        out.U32(0x02014B50);
        out.U16(entry.versionMadeBy);
        out.U16(20);
        out.U16(r.flags);
        out.U16(entry.method);
        out.U16(entry.modTime);
        out.U16(entry.modDate);
        out.U32(r.crc);
        out.U32(r.compressedSize);
        out.U32(r.uncompressedSize);
        out.U16(WORD(entry.name.size()));
        out.U16(0); // extra
        out.U16(0); // comment
        out.U16(0); // disk
        out.U16(0); // internal attributes
        out.U32(entry.externalAttributes);
        out.U32(entry.centralOffset.value_or(localOffsets[i]));
        out.Text(entry.name);
    }
    DWORD centralSize = DWORD(out.Size()) - centralStart;

    out.U32(0x06054B50);
    out.U16(faults.thisDisk.value_or(0));
    out.U16(0);
    out.U16(WORD(entries.size()));
    out.U16(faults.totalEntries.value_or(WORD(entries.size())));
    out.U32(faults.size.value_or(centralSize));
    out.U32(faults.offset.value_or(centralStart));
    out.U16(WORD(comment.size()));
    out.Text(comment);

    bytes.insert(bytes.begin(), before.begin(), before.end());
    return bytes;
}

Bytes SingleEntryArchive(const std::string& name, const Bytes& plain, WORD method)
{
    TestArchive archive;
    archive.Add(name, plain, method);
    return archive.Build();
}

Bytes MakeZip(const std::vector<std::pair<std::string, std::string>>& entries)
{
    TestArchive archive;
    for (const auto& [name, content] : entries) {
        TestEntry& entry = archive.Add(name, ToBytes(content));
        bool folder = !name.empty() && name.back() == '/';
        entry.versionMadeBy = 0x0314; // Unix, 2.0
        entry.externalAttributes = folder ? (040755u << 16) | 0x10 : 0100644u << 16;
        entry.modTime = (3 << 11) | (4 << 5) | (6 / 2);
        entry.modDate = ((2020 - 1980) << 9) | (1 << 5) | 2;
    }
    return archive.Build();
}
