#include "support/ArchiveBuilder.h"

#include "zip/ZipDecryptor.h"

#include <stdexcept>
#include <zlib.h>

namespace {

void Put16(Bytes& out, unsigned value)
{
    out.push_back(BYTE(value));
    out.push_back(BYTE(value >> 8));
}

void Put32(Bytes& out, DWORD value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void PutBytes(Bytes& out, const Bytes& bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void PutText(Bytes& out, const std::string& text)
{
    out.insert(out.end(), text.begin(), text.end());
}

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
    Bytes out;
    std::vector<Resolved> resolved;
    localOffsets.clear();
    for (const auto& entry : entries) {
        Resolved r = Resolve(entry);
        localOffsets.push_back(DWORD(out.size()));
        Put32(out, 0x04034B50);
        Put16(out, 20);
        Put16(out, r.flags);
        Put16(out, entry.localMethod.value_or(entry.method));
        Put16(out, entry.modTime);
        Put16(out, entry.modDate);
        // A streaming writer does not know these yet when it writes the local header.
        Put32(out, entry.descriptor ? 0 : entry.localCrc.value_or(r.crc));
        Put32(out, entry.descriptor ? 0 : r.compressedSize);
        Put32(out, entry.descriptor ? 0 : r.uncompressedSize);
        Put16(out, unsigned(entry.name.size()));
        Put16(out, unsigned(entry.localExtra.size()));
        PutText(out, entry.name);
        PutBytes(out, entry.localExtra);
        PutBytes(out, r.data);
        if (entry.descriptor) {
            if (entry.descriptorSignature)
                Put32(out, 0x08074B50);
            Put32(out, entry.descriptorCrc.value_or(r.crc));
            Put32(out, r.compressedSize);
            Put32(out, r.uncompressedSize);
        }
        resolved.push_back(std::move(r));
    }

    DWORD centralStart = DWORD(out.size());
    std::vector<size_t> order = centralOrder;
    if (order.empty()) {
        for (size_t i = 0; i < entries.size(); ++i)
            order.push_back(i);
    }
    for (size_t i : order) {
        const TestEntry& entry = entries[i];
        const Resolved& r = resolved[i];
        Put32(out, 0x02014B50);
        Put16(out, entry.versionMadeBy);
        Put16(out, 20);
        Put16(out, r.flags);
        Put16(out, entry.method);
        Put16(out, entry.modTime);
        Put16(out, entry.modDate);
        Put32(out, r.crc);
        Put32(out, r.compressedSize);
        Put32(out, r.uncompressedSize);
        Put16(out, unsigned(entry.name.size()));
        Put16(out, 0); // extra
        Put16(out, 0); // comment
        Put16(out, 0); // disk
        Put16(out, 0); // internal attributes
        Put32(out, entry.externalAttributes);
        Put32(out, entry.centralOffset.value_or(localOffsets[i]));
        PutText(out, entry.name);
    }
    DWORD centralSize = DWORD(out.size()) - centralStart;

    Put32(out, 0x06054B50);
    Put16(out, faults.thisDisk.value_or(0));
    Put16(out, 0);
    Put16(out, unsigned(entries.size()));
    Put16(out, faults.totalEntries.value_or(WORD(entries.size())));
    Put32(out, faults.size.value_or(centralSize));
    Put32(out, faults.offset.value_or(centralStart));
    Put16(out, unsigned(comment.size()));
    PutText(out, comment);

    out.insert(out.begin(), before.begin(), before.end());
    return out;
}

Bytes SingleEntryArchive(const std::string& name, const Bytes& plain, WORD method)
{
    TestArchive archive;
    archive.Add(name, plain, method);
    return archive.Build();
}
