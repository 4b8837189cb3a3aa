// quorvel-bench-stages PACKAGE [--runs N] [--work DIR] [--password PW]
//
// Splits our extraction's time into its stages, each run alone over the whole
// package (best of N): the reader's decryption loop, inflation, the CRC-32,
// the writes of 64 KB blocks through the platform's CFile (what CZipFile
// writes with), and the stamping of each file's time and attributes. Next to the decryption it times the same
// cipher with its keys held in local variables: byte for byte the same work,
// but the compiler may keep the keys in registers, which it cannot do when
// they live in the object and the bytes written might alias them.

#include "app/PackagePassword.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "zip/ZipDecryptor.h"
#include "zip/ZipException.h"
#include "zip/ZipFileSystem.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr DWORD BlockSize = CZipReader::DefaultBufferSize;
constexpr DWORD EncryptionHeaderSize = 12;

struct Entry {
    std::string name;
    const BYTE* data { nullptr }; // the encryption header, then the deflated bytes
    DWORD packedSize { 0 };
    DWORD size { 0 };
    DWORD crc { 0 };
    WORD modTime { 0 };
    WORD modDate { 0 };
    DWORD attributes { 0 };
    std::vector<BYTE> deflated {}; // decrypted, without the header
    std::vector<BYTE> plain {};
};

// The cipher of zip/ZipDecryptor.cpp with the keys and the table in locals.
class CLocalKeysDecryptor {
public:
    void InitKeys(const BYTE* password, DWORD length)
    {
        key0 = 0x12345678;
        key1 = 0x23456789;
        key2 = 0x34567890;
        const z_crc_t* table = get_crc_table();
        for (DWORD i = 0; i < length; ++i)
            Update(table, key0, key1, key2, password[i]);
    }

    void DecodeBuffer(BYTE* data, DWORD length)
    {
        const z_crc_t* table = get_crc_table();
        DWORD k0 = key0, k1 = key1, k2 = key2;
        for (DWORD i = 0; i < length; ++i) {
            DWORD t = (k2 & 0xFFFF) | 2;
            BYTE plain = BYTE(data[i] ^ BYTE((t * (t ^ 1)) >> 8));
            data[i] = plain;
            Update(table, k0, k1, k2, plain);
        }
        key0 = k0;
        key1 = k1;
        key2 = k2;
    }

private:
    static void Update(const z_crc_t* table, DWORD& k0, DWORD& k1, DWORD& k2, BYTE plain)
    {
        k0 = (k0 >> 8) ^ DWORD(table[(k0 ^ plain) & 0xFF]);
        k1 = (k1 + (k0 & 0xFF)) * 134775813 + 1;
        k2 = (k2 >> 8) ^ DWORD(table[(k2 ^ BYTE(k1 >> 24)) & 0xFF]);
    }

    DWORD key0 { 0 };
    DWORD key1 { 0 };
    DWORD key2 { 0 };
};

using Clock = std::chrono::steady_clock;

double Best(int runs, const std::function<void()>& body)
{
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        auto start = Clock::now();
        body();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

WORD Get16(const BYTE* p)
{
    return WORD(p[0] | (p[1] << 8));
}

// Runs the cipher over every entry in 64 KB blocks copied out of the package,
// as the reader does, and returns a checksum of the output so that two
// ciphers can be compared and the work cannot be dropped.
template<typename Decryptor>
uLong DecryptAll(const std::vector<Entry>& entries, const std::string& password, std::vector<BYTE>& block)
{
    uLong check = adler32(0, nullptr, 0);
    for (const Entry& entry : entries) {
        Decryptor cipher;
        cipher.InitKeys(reinterpret_cast<const BYTE*>(password.data()), DWORD(password.size()));
        for (DWORD done = 0; done < entry.packedSize;) {
            DWORD count = std::min(BlockSize, entry.packedSize - done);
            std::memcpy(block.data(), entry.data + done, count);
            cipher.DecodeBuffer(block.data(), count);
            check = adler32(check, block.data(), std::min<DWORD>(count, 64));
            done += count;
        }
    }
    return check;
}

bool InflateAll(std::vector<Entry>& entries, bool keep)
{
    std::vector<BYTE> out(BlockSize);
    for (Entry& entry : entries) {
        z_stream stream {};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
            return false;
        if (keep)
            entry.plain.resize(entry.size);
        DWORD produced = 0;
        size_t fed = 0;
        int result = Z_OK;
        while (result != Z_STREAM_END) {
            if (stream.avail_in == 0) {
                size_t count = std::min<size_t>(BlockSize, entry.deflated.size() - fed);
                if (count == 0)
                    break;
                stream.next_in = entry.deflated.data() + fed;
                stream.avail_in = uInt(count);
                fed += count;
            }
            stream.next_out = out.data();
            stream.avail_out = BlockSize;
            result = inflate(&stream, Z_SYNC_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END)
                break;
            DWORD count = BlockSize - stream.avail_out;
            if (keep)
                std::memcpy(entry.plain.data() + produced, out.data(), count);
            produced += count;
        }
        inflateEnd(&stream);
        if (result != Z_STREAM_END || produced != entry.size)
            return false;
    }
    return true;
}

int Usage()
{
    std::fprintf(stderr, "usage: quorvel-bench-stages PACKAGE [--runs N] [--work DIR] [--password PW]\n");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::string packagePath;
    std::string workRoot = fs::exists("/dev/shm") ? "/dev/shm" : fs::current_path().string();
    std::string password = PackagePassword;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        bool hasValue = i + 1 < argc;
        if (argument == "--runs" && hasValue)
            runs = std::atoi(argv[++i]);
        else if (argument == "--work" && hasValue)
            workRoot = argv[++i];
        else if (argument == "--password" && hasValue)
            password = argv[++i];
        else if (argument.starts_with("--") || !packagePath.empty())
            return Usage();
        else
            packagePath = argument;
    }
    if (packagePath.empty() || runs < 1)
        return Usage();

    std::vector<BYTE> package;
    {
        std::FILE* file = std::fopen(packagePath.c_str(), "rb");
        if (!file) {
            std::perror(packagePath.c_str());
            return 2;
        }
        std::error_code code;
        package.resize(fs::file_size(packagePath, code));
        bool read = !code && std::fread(package.data(), 1, package.size(), file) == package.size();
        std::fclose(file);
        if (!read) {
            std::fprintf(stderr, "error: cannot read %s\n", packagePath.c_str());
            return 2;
        }
    }

    // The entries' places and records, from the reader's own directory.
    std::vector<Entry> entries;
    CZipMemoryBlock block;
    block.Attach(package.data(), DWORD(package.size()));
    CZipReader zip;
    try {
        if (!zip.Open(block))
            throw CZipException(ZipErrorCause::Generic);
        for (int i = 0; i < zip.GetEntryCount(); ++i) {
            const CZipEntryHeader& header = *zip.GetEntryHeader(i);
            if (header.IsDirectory())
                continue;
            if (!header.IsEncrypted() || header.method != 8) {
                std::fprintf(
                    stderr, "error: %s is not deflated and encrypted\n", header.GetFileName().c_str());
                return 2;
            }
            size_t local = size_t(header.localHeaderOffset) + zip.GetBytesBeforeArchive();
            if (local + 30 > package.size())
                throw CZipException(ZipErrorCause::Damaged);
            size_t start = local + 30 + Get16(&package[local + 26]) + Get16(&package[local + 28]);
            if (start + header.compressedSize > package.size())
                throw CZipException(ZipErrorCause::Damaged);
            Entry entry;
            entry.name = header.GetFileName();
            entry.data = package.data() + start;
            entry.packedSize = header.compressedSize;
            entry.size = header.uncompressedSize;
            entry.crc = header.crc32;
            entry.modTime = header.modTime;
            entry.modDate = header.modDate;
            entry.attributes = header.GetSystemAttributes();
            entries.push_back(std::move(entry));
        }
        zip.Close();
    } catch (const CZipException& e) {
        std::fprintf(stderr, "error: cannot read the package's directory (cause %d)\n", e.cause);
        return 2;
    }

    uint64_t packed = 0, plain = 0;
    for (Entry& entry : entries) {
        packed += entry.packedSize;
        plain += entry.size;
        // Decrypted once, untimed, to feed the inflation and CRC stages.
        std::vector<BYTE> bytes(entry.data, entry.data + entry.packedSize);
        CZipDecryptor cipher;
        cipher.InitKeys(reinterpret_cast<const BYTE*>(password.data()), DWORD(password.size()));
        cipher.DecodeBuffer(bytes.data(), DWORD(bytes.size()));
        if (bytes.size() < EncryptionHeaderSize || bytes[EncryptionHeaderSize - 1] != BYTE(entry.crc >> 24)) {
            std::fprintf(stderr, "error: %s: wrong password\n", entry.name.c_str());
            return 2;
        }
        entry.deflated.assign(bytes.begin() + EncryptionHeaderSize, bytes.end());
    }
    if (!InflateAll(entries, true)) {
        std::fprintf(stderr, "error: the package does not inflate\n");
        return 2;
    }

    std::vector<BYTE> scratch(BlockSize);
    uLong checkReader = 0, checkLocal = 0;
    double decrypt = Best(runs, [&] { checkReader = DecryptAll<CZipDecryptor>(entries, password, scratch); });
    double decryptLocal
        = Best(runs, [&] { checkLocal = DecryptAll<CLocalKeysDecryptor>(entries, password, scratch); });
    if (checkReader != checkLocal) {
        std::fprintf(stderr, "error: the two ciphers disagree\n");
        return 2;
    }
    bool inflated = true;
    double inflation = Best(runs, [&] { inflated = InflateAll(entries, false) && inflated; });
    bool crcOk = true;
    double crc = Best(runs, [&] {
        for (const Entry& entry : entries) {
            uLong value = crc32(0, nullptr, 0);
            for (DWORD done = 0; done < entry.size; done += BlockSize)
                value = crc32(value, entry.plain.data() + done, std::min(BlockSize, entry.size - done));
            crcOk = crcOk && DWORD(value) == entry.crc;
        }
    });
    if (!inflated || !crcOk) {
        std::fprintf(stderr, "error: inflation or CRC-32 went wrong\n");
        return 2;
    }

    // Writes and stamps into a fresh folder per run, as the extraction does;
    // removing the files is not timed.
    std::string pattern = (fs::path(workRoot) / "quorvel-stages.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror(pattern.c_str());
        return 2;
    }
    fs::path work = pattern;
    // Writes every entry's bytes in blocks of `block` bytes; with `truncate`
    // off the files already exist and keep their pages, so only the copy and
    // the system calls are left.
    auto writeFiles
        = [&](const fs::path& folder, DWORD block, bool truncate, std::vector<std::string>& paths) {
              paths.clear();
              auto start = Clock::now();
              for (const Entry& entry : entries) {
                  paths.push_back((folder / entry.name).string());
                  CFile file(paths.back().c_str(),
                      CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite
                          | (truncate ? 0u : UINT(CFile::modeNoTruncate)));
                  for (DWORD done = 0; done < entry.size; done += block)
                      file.Write(entry.plain.data() + done, std::min(block, entry.size - done));
                  file.Close();
              }
              return std::chrono::duration<double>(Clock::now() - start).count();
          };
    double writes = 1e300, stamping = 1e300, writesLarge = 1e300, rewrites = 1e300;
    for (int run = 0; run < runs; ++run) {
        fs::path folder = work / ("run" + std::to_string(run));
        fs::create_directory(folder);
        std::vector<std::string> paths;
        writes = std::min(writes, writeFiles(folder, BlockSize, true, paths));
        auto start = Clock::now();
        for (size_t i = 0; i < entries.size(); ++i) {
            ZipFileSystem::ApplyModTime(
                paths[i].c_str(), ZipFileSystem::DosTimeToCalendar(entries[i].modTime, entries[i].modDate));
            ZipFileSystem::ApplyAttributes(paths[i].c_str(), entries[i].attributes);
        }
        stamping = std::min(stamping, std::chrono::duration<double>(Clock::now() - start).count());
        rewrites = std::min(rewrites, writeFiles(folder, BlockSize, false, paths));
        std::error_code code;
        fs::remove_all(folder, code);
        fs::create_directory(folder);
        writesLarge = std::min(writesLarge, writeFiles(folder, 16 * BlockSize, true, paths));
        fs::remove_all(folder, code);
    }
    std::error_code code;
    fs::remove_all(work, code);

    double total = decrypt + inflation + crc + writes + stamping;
    std::printf("package   %s: %zu entries, %.1f MB packed, %.1f MB plain (MB = 10^6 bytes)\n",
        packagePath.c_str(), entries.size(), double(packed) / 1e6, double(plain) / 1e6);
    std::printf("stages    each alone, best of %d; writes into %s\n\n", runs, workRoot.c_str());
    std::printf("%-40s %9s %9s %7s\n", "stage", "s", "MB/s", "share");
    auto row = [&](const char* label, double seconds, uint64_t bytes, bool counted) {
        if (counted)
            std::printf("%-40s %9.3f %9.1f %6.1f%%\n", label, seconds, double(bytes) / 1e6 / seconds,
                100.0 * seconds / total);
        else
            std::printf("%-40s %9.3f %9.1f\n", label, seconds, double(bytes) / 1e6 / seconds);
    };
    row("decrypt (reader's cipher, packed bytes)", decrypt, packed, true);
    row("inflate (64 KB out, plain bytes)", inflation, plain, true);
    row("crc-32 (plain bytes)", crc, plain, true);
    row("write 64 KB blocks (CFile, plain)", writes, plain, true);
    std::printf("%-40s %9.6f %9s %6.1f%%  (%.1f us a file)\n", "time and attributes (all files)", stamping,
        "-", 100.0 * stamping / total, 1e6 * stamping / double(entries.size()));
    std::printf("%-40s %9.3f\n\n", "sum", total);
    std::printf("not the reader, for comparison:\n");
    row("  write 1 MB blocks (fresh files)", writesLarge, plain, false);
    row("  rewrite 64 KB blocks (pages kept)", rewrites, plain, false);
    row("  decrypt, keys in locals", decryptLocal, packed, false);
    std::printf("the reader would save %.3f s (%.0f%% of the sum) with its keys in locals\n",
        decrypt - decryptLocal, 100.0 * (decrypt - decryptLocal) / total);
    return 0;
}
