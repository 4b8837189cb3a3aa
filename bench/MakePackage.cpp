// quorvel-bench-make-package OUT [--entries N] [--entry-bytes N] [--seed N]
//
// Writes a package for the extraction benchmark: N movie-sized entries,
// movie1.swf, movie3.swf, ... incompressible (a compressed movie: random
// bytes), movie2.swf, movie4.swf, ... compressible (an uncompressed movie:
// tags of shapes, bitmaps, placements and scripts). Every entry is deflated
// and encrypted with the traditional cipher under the package password, its
// check byte the high byte of its CRC-32, and no data descriptors. The same
// arguments always give the same bytes.

#include "app/PackagePassword.h"
#include "platform/LittleEndianWriter.h"
#include "zip/ZipDecryptor.h"

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A small deterministic generator (splitmix64): the package must not change
// between runs or machines.
class CRandom {
public:
    explicit CRandom(uint64_t seed)
        : state(seed)
    {
    }

    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned Below(unsigned bound) { return unsigned(Next() % bound); }

private:
    uint64_t state;
};

void PutMovieHeader(std::vector<BYTE>& out, bool compressed, size_t size)
{
    out.push_back(compressed ? 'C' : 'F');
    out.push_back('W');
    out.push_back('S');
    out.push_back(8);
    LittleEndianWriter(out).U32(size);
}

// A compressed movie: after its 8-byte header, bytes that no deflater shrinks.
std::vector<BYTE> MakeIncompressible(size_t size, CRandom& random)
{
    std::vector<BYTE> out;
    out.reserve(size + 8);
    PutMovieHeader(out, true, size);
    while (out.size() < size) {
        LittleEndianWriter(out).U64(random.Next());
    }
    out.resize(size);
    return out;
}

void PutTagHeader(std::vector<BYTE>& out, unsigned code, size_t length)
{
    LittleEndianWriter(out).U16(WORD((code << 6) | 0x3F));
    LittleEndianWriter(out).U32(length);
}

// An uncompressed movie: frames of a shape whose edges wander in small steps,
// a 64x64 bitmap of flat colours, a placement whose matrix
// drifts, now and then a short script, and the frame's end.
std::vector<BYTE> MakeCompressible(size_t size, CRandom& random)
{
    static const char* const s_scripts[] = {
        "_root.gotoAndPlay(\"intro\");",
        "this.stop(); _root.menu._visible = true;",
        "fscommand(\"fullscreen\", \"true\");",
        "if (_root.frame > 120) { _root.gotoAndStop(1); }",
        "_root.counter += 1; trace(_root.counter);",
    };
    std::vector<BYTE> out;
    out.reserve(size + 32768);
    PutMovieHeader(out, false, size);
    // Frame rectangle 0..550 x 0..400 pixels in twips, 24 frames a second.
    const BYTE frameHeader[]
        = { 0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x18, 0x01, 0x00 };
    out.insert(out.end(), std::begin(frameHeader), std::end(frameHeader));

    unsigned frame = 0;
    int x = 2000, y = 2000;
    while (out.size() < size) {
        ++frame;
        // DefineShape: an id, then edge records of small signed steps.
        unsigned edges = 2000 + random.Below(2000);
        PutTagHeader(out, 2, 2 + edges * 4);
        LittleEndianWriter(out).U16(WORD(frame & 0xFFFF));
        for (unsigned i = 0; i < edges; ++i) {
            x += int(random.Below(65)) - 32;
            y += int(random.Below(65)) - 32;
            LittleEndianWriter(out).U16(WORD(unsigned(x) & 0xFFFF));
            LittleEndianWriter(out).U16(WORD(unsigned(y) & 0xFFFF));
        }
        // DefineBitsLossless: 64x64 ARGB pixels.
        PutTagHeader(out, 20, 7 + 64 * 64 * 4);
        LittleEndianWriter(out).U16(WORD((frame + 0x4000) & 0xFFFF));
        out.push_back(5);
        LittleEndianWriter(out).U16(64);
        LittleEndianWriter(out).U16(64);
        // Cartoon-like: runs of a few palette colours, most rows a copy of
        // the row above.
        std::vector<uint32_t> row(64);
        for (unsigned py = 0; py < 64; ++py) {
            if (py == 0 || random.Below(4) == 0) {
                for (unsigned px = 0; px < 64;) {
                    uint32_t colour = 0xFF000000u | uint32_t(random.Below(16) * 0x0F0B07u + frame);
                    unsigned run = 4 + random.Below(28);
                    for (; run > 0 && px < 64; --run)
                        row[px++] = colour;
                }
            }
            for (uint32_t pixel : row)
                LittleEndianWriter(out).U32(pixel);
        }
        // PlaceObject2 with a translating matrix.
        PutTagHeader(out, 26, 13);
        out.push_back(0x06);
        LittleEndianWriter(out).U16(1);
        LittleEndianWriter(out).U16(WORD(frame & 0xFFFF));
        LittleEndianWriter(out).U32(uint32_t(frame * 20));
        LittleEndianWriter(out).U32(uint32_t(0x10000 - frame * 7));
        if (frame % 12 == 0) {
            const char* script = s_scripts[random.Below(std::size(s_scripts))];
            size_t length = std::strlen(script) + 1;
            PutTagHeader(out, 12, length);
            out.insert(out.end(), script, script + length);
        }
        LittleEndianWriter(out).U16(WORD(1 << 6)); // ShowFrame
    }
    out.resize(size);
    return out;
}

std::vector<BYTE> Deflate(const std::vector<BYTE>& input)
{
    z_stream stream {};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::vector<BYTE> out(deflateBound(&stream, uLong(input.size())));
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = uInt(input.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return result == Z_STREAM_END ? out : std::vector<BYTE> {};
}

struct CentralRecord {
    std::string name;
    uint32_t crc { 0 };
    uint32_t compressedSize { 0 };
    uint32_t uncompressedSize { 0 };
    uint32_t localOffset { 0 };
};

constexpr unsigned MadeByDos20 = 20;
constexpr unsigned FlagEncrypted = 1;
constexpr unsigned MethodDeflated = 8;
constexpr unsigned DosTime = (12 << 11) | (0 << 5) | 0; // 12:00:00
constexpr unsigned DosDate = ((2024 - 1980) << 9) | (5 << 5) | 1; // 2024-05-01
constexpr uint32_t ArchiveAttribute = 0x20;

void PutCommonFields(std::vector<BYTE>& out, const CentralRecord& record)
{
    LittleEndianWriter(out).U16(FlagEncrypted);
    LittleEndianWriter(out).U16(MethodDeflated);
    LittleEndianWriter(out).U16(DosTime);
    LittleEndianWriter(out).U16(DosDate);
    LittleEndianWriter(out).U32(record.crc);
    LittleEndianWriter(out).U32(record.compressedSize);
    LittleEndianWriter(out).U32(record.uncompressedSize);
    LittleEndianWriter(out).U16(WORD(record.name.size()));
    LittleEndianWriter(out).U16(0); // extra field
}

bool WriteAll(std::FILE* file, const std::vector<BYTE>& bytes)
{
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

int Usage()
{
    std::fprintf(
        stderr, "usage: quorvel-bench-make-package OUT [--entries N] [--entry-bytes N] [--seed N]\n");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::string output;
    unsigned entries = 8;
    size_t entryBytes = 25'000'000;
    uint64_t seed = 20240501;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--entries" && i + 1 < argc)
            entries = unsigned(std::strtoul(argv[++i], nullptr, 10));
        else if (argument == "--entry-bytes" && i + 1 < argc)
            entryBytes = std::strtoull(argv[++i], nullptr, 10);
        else if (argument == "--seed" && i + 1 < argc)
            seed = std::strtoull(argv[++i], nullptr, 10);
        else if (argument.starts_with("--") || !output.empty())
            return Usage();
        else
            output = argument;
    }
    // ZIP offsets are 32-bit and the reader indexes entries with 16 bits.
    if (output.empty() || entries == 0 || entries > 0xFFFF || entryBytes < 16
        || double(entries) * double(entryBytes) > 3.5e9)
        return Usage();

    std::string partial = output + ".partial";
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) {
        std::perror(partial.c_str());
        return 2;
    }

    CRandom random(seed);
    std::vector<CentralRecord> records;
    uint64_t offset = 0;
    const auto* password = reinterpret_cast<const BYTE*>(PackagePassword);
    DWORD passwordLength = DWORD(std::strlen(PackagePassword));
    bool ok = true;
    for (unsigned index = 0; index < entries && ok; ++index) {
        bool incompressible = index % 2 == 0;
        std::vector<BYTE> content
            = incompressible ? MakeIncompressible(entryBytes, random) : MakeCompressible(entryBytes, random);
        std::vector<BYTE> packed = Deflate(content);
        if (packed.empty()) {
            std::fprintf(stderr, "error: deflate failed\n");
            ok = false;
            break;
        }

        CentralRecord record;
        record.name = "movie" + std::to_string(index + 1) + ".swf";
        record.crc = uint32_t(crc32(0, content.data(), uInt(content.size())));
        record.uncompressedSize = uint32_t(content.size());
        record.compressedSize = uint32_t(packed.size() + 12);
        record.localOffset = uint32_t(offset);

        // The 12-byte encryption header: 11 random bytes and the check byte.
        CZipDecryptor cipher;
        cipher.InitKeys(password, passwordLength);
        std::vector<BYTE> header(12);
        for (int i = 0; i < 11; ++i)
            header[i] = BYTE(random.Next());
        header[11] = BYTE(record.crc >> 24);
        for (BYTE& b : header)
            cipher.EncodeByte(b);
        for (BYTE& b : packed)
            cipher.EncodeByte(b);

        std::vector<BYTE> local;
        LittleEndianWriter(local).U32(0x04034B50);
        LittleEndianWriter(local).U16(20); // version needed to extract
        PutCommonFields(local, record);
        local.insert(local.end(), record.name.begin(), record.name.end());
        ok = WriteAll(file, local) && WriteAll(file, header) && WriteAll(file, packed);
        offset += local.size() + header.size() + packed.size();
        std::printf("%-12s %10u bytes, %s, deflated to %10u (%.1f%%)\n", record.name.c_str(),
            record.uncompressedSize, incompressible ? "incompressible" : "compressible  ",
            record.compressedSize, 100.0 * record.compressedSize / record.uncompressedSize);
        records.push_back(std::move(record));
    }

    std::vector<BYTE> central;
    for (const CentralRecord& record : records) {
        LittleEndianWriter(central).U32(0x02014B50);
        LittleEndianWriter(central).U16(MadeByDos20);
        LittleEndianWriter(central).U16(20);
        PutCommonFields(central, record);
        LittleEndianWriter(central).U16(0); // comment
        LittleEndianWriter(central).U16(0); // disk
        LittleEndianWriter(central).U16(0); // internal attributes
        LittleEndianWriter(central).U32(ArchiveAttribute);
        LittleEndianWriter(central).U32(record.localOffset);
        central.insert(central.end(), record.name.begin(), record.name.end());
    }
    std::vector<BYTE> end;
    LittleEndianWriter(end).U32(0x06054B50);
    LittleEndianWriter(end).U16(0);
    LittleEndianWriter(end).U16(0);
    LittleEndianWriter(end).U16(WORD(records.size()));
    LittleEndianWriter(end).U16(WORD(records.size()));
    LittleEndianWriter(end).U32(uint32_t(central.size()));
    LittleEndianWriter(end).U32(offset);
    LittleEndianWriter(end).U16(0);
    ok = ok && offset + central.size() < 0xFFFFFFFFull && WriteAll(file, central) && WriteAll(file, end);
    ok = std::fclose(file) == 0 && ok;
    if (!ok || std::rename(partial.c_str(), output.c_str()) != 0) {
        std::fprintf(stderr, "error: cannot write %s\n", output.c_str());
        std::remove(partial.c_str());
        return 2;
    }
    std::printf("%s: %u entries, %llu bytes\n", output.c_str(), entries,
        (unsigned long long)(offset + central.size() + end.size()));
    return 0;
}
