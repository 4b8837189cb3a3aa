// quorvel-bench-memory [--work DIR] [--sizes MB,MB,...] [--keep]
//
// Shows that unpacking a package costs memory independent of its size. For
// each size (100 MB and 1,000 MB unless told otherwise) it writes a package
// into DIR (made once, kept for the next run), then extracts it in a child
// process the way start-up does: the file mapped read-only, attached to a
// memory block without copying, every entry written through 64 KB transfers.
// The child reports its peak resident set (VmHWM), the peak of its anonymous
// and file-backed resident memory sampled every 2 ms, and its anonymous
// memory at the end. The package's own mapped pages count as file-backed
// resident memory: they are the page cache, not memory the extraction holds.

#include "app/PackagePassword.h"
#include "platform/MappedFile.h"
#include "zip/ZipFile.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"
#include "zip/ZipWriter.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t MB = 1000 * 1000;
constexpr DWORD EntryBytes = 25 * MB;

// Entry data made on the fly from its position, so that writing a gigabyte
// holds no more of it than one read asks for. Runs of repeated bytes among
// random ones give deflate a little to do.
class CSyntheticFile final : public CZipFileInterface {
public:
    CSyntheticFile(DWORD length, std::uint64_t seed)
        : length(length)
        , seed(seed)
    {
    }
    void Close() override { }
    DWORD GetPosition() const override { return position; }
    DWORD Seek(LONG offset, int origin) override
    {
        std::int64_t base = origin == current ? position : (origin == end ? length : 0);
        position = DWORD(base + offset);
        return position;
    }
    DWORD GetLength() const override { return length; }
    CString GetFilePath() const override { return {}; }
    UINT Read(void* buffer, UINT count) override
    {
        count = std::min<UINT>(count, length - std::min(position, length));
        auto* out = static_cast<BYTE*>(buffer);
        for (UINT i = 0; i < count; ++i)
            out[i] = ByteAt(position + i);
        position += count;
        return count;
    }
    void Write(const void*, UINT) override { }
    bool IsClosed() const override { return false; }

private:
    static std::uint64_t Mix(std::uint64_t z)
    {
        z = (z + 0x9E3779B97F4A7C15ull) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    BYTE ByteAt(std::uint64_t at) const
    {
        std::uint64_t block = Mix(seed * 0x100000000ull + at / 64);
        // One 64-byte block in eight is a repeated byte, the rest noise: the
        // package comes out close to the size of its content.
        if ((block & 7) == 0)
            return BYTE(block >> 8);
        return BYTE(Mix(block ^ (at / 8)) >> (8 * (at % 8)));
    }

    DWORD length;
    std::uint64_t seed;
    DWORD position { 0 };
};

// Writes a package of about `size` bytes of content: entries of 25 MB,
// encrypted under the package password, stored and deflated by turns.
void MakePackage(const fs::path& path, std::uint64_t size)
{
    fs::path partial = path.string() + ".partial";
    {
        CZipFile out(partial.c_str(), CFile::modeCreate | CFile::modeReadWrite);
        CZipWriter writer(out);
        writer.SetPassword(PackagePassword);
        writer.SetLevel(1);
        for (std::uint64_t n = 0; n * EntryBytes < size; ++n) {
            CZipNewEntry entry;
            entry.name = "movie" + std::to_string(n + 1) + ".swf";
            entry.method = n % 2 ? 8 : 0;
            entry.encrypt = true;
            entry.externalAttributes = 0x20;
            CSyntheticFile data(DWORD(std::min<std::uint64_t>(EntryBytes, size - n * EntryBytes)), n);
            writer.AddFile(entry, data);
        }
        writer.Finish();
        out.Close();
    }
    fs::rename(partial, path);
}

// A value of /proc/self/status in kB, or -1.
long StatusValue(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    std::size_t keyLength = std::strlen(key);
    while (std::getline(status, line)) {
        if (line.compare(0, keyLength, key) == 0 && line.size() > keyLength && line[keyLength] == ':')
            return std::strtol(line.c_str() + keyLength + 1, nullptr, 10);
    }
    return -1;
}

// "Anonymous:" of /proc/self/smaps_rollup in kB, or -1.
long RollupAnonymous()
{
    std::ifstream rollup("/proc/self/smaps_rollup");
    std::string line;
    while (std::getline(rollup, line)) {
        if (line.rfind("Anonymous:", 0) == 0)
            return std::strtol(line.c_str() + 10, nullptr, 10);
    }
    return -1;
}

struct Figures {
    long startAnonKb { -1 };
    long hwmKb { -1 };
    long peakAnonKb { -1 };
    long peakFileKb { -1 };
    long endAnonKb { -1 };
    long rollupAnonKb { -1 };
    double seconds { 0 };
    int entries { 0 };
    bool ok { false };
};

// In the child: extract every entry of `package` into `target` and measure.
Figures ExtractAndMeasure(const fs::path& package, const fs::path& target)
{
    Figures figures;
    figures.startAnonKb = StatusValue("RssAnon");
    std::atomic<bool> done { false };
    std::atomic<long> peakAnon { 0 }, peakFile { 0 };
    std::thread sampler([&] {
        while (!done) {
            peakAnon = std::max(peakAnon.load(), StatusValue("RssAnon"));
            peakFile = std::max(peakFile.load(), StatusValue("RssFile"));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    auto start = std::chrono::steady_clock::now();
    try {
        CMappedFile mapped;
        if (mapped.Open(package.c_str())) {
            CZipMemoryBlock block;
            block.Attach(mapped.data(), DWORD(mapped.size()));
            CZipReader zip;
            zip.Open(block);
            zip.SetPassword(PackagePassword);
            figures.ok = true;
            for (int i = 0; i < zip.GetEntryCount(); ++i) {
                figures.ok = zip.ExtractEntry(i, target.c_str(), false, nullptr, 65536) && figures.ok;
                // The files are not what is measured; the disk need not hold them all.
                fs::remove(target / zip.GetEntryHeader(i)->GetFileName());
                ++figures.entries;
            }
            zip.Close();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "extraction failed: %s\n", e.what());
        figures.ok = false;
    }
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    done = true;
    sampler.join();
    figures.hwmKb = StatusValue("VmHWM");
    figures.peakAnonKb = peakAnon;
    figures.peakFileKb = peakFile;
    figures.endAnonKb = StatusValue("RssAnon");
    figures.rollupAnonKb = RollupAnonymous();
    return figures;
}

Figures MeasureInChild(const fs::path& package, const fs::path& target)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return {};
    pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        Figures figures = ExtractAndMeasure(package, target);
        ssize_t written = ::write(channel[1], &figures, sizeof figures);
        ::_exit(written == ssize_t(sizeof figures) ? 0 : 1);
    }
    ::close(channel[1]);
    Figures figures;
    if (::read(channel[0], &figures, sizeof figures) != ssize_t(sizeof figures))
        figures.ok = false;
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return figures;
}

double FreeBytes(const fs::path& folder)
{
    struct statvfs info { };
    if (::statvfs(folder.c_str(), &info) != 0)
        return 0;
    return double(info.f_bavail) * double(info.f_frsize);
}

} // namespace

int main(int argc, char** argv)
{
    fs::path work = "bench-memory";
    std::vector<std::uint64_t> sizes { 100, 1000 };
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--work" && i + 1 < argc) {
            work = argv[++i];
        } else if (argument == "--sizes" && i + 1 < argc) {
            sizes.clear();
            for (const char* p = argv[++i]; *p;) {
                char* end = nullptr;
                sizes.push_back(std::strtoull(p, &end, 10));
                p = *end ? end + 1 : end;
            }
        } else {
            std::fprintf(stderr, "usage: quorvel-bench-memory [--work DIR] [--sizes MB,MB,...]\n");
            return 1;
        }
    }
    fs::create_directories(work / "out");

    std::printf("%-9s %10s %8s %8s %10s %11s %13s %13s %12s %10s %7s\n", "content", "package MB", "entries",
        "seconds", "VmHWM MB", "anon at 0", "peak anon MB", "peak file MB", "anon at end", "rollup MB",
        "result");
    int status = 0;
    for (std::uint64_t megabytes : sizes) {
        fs::path package = work / ("memory-" + std::to_string(megabytes) + "MB.zip");
        if (!fs::exists(package)) {
            // The package and, one at a time, the files extracted from it.
            double needed = double(megabytes * MB) + double(EntryBytes) * 2;
            if (FreeBytes(work) < needed) {
                std::printf("%-10s not made: %.0f MB free in %s, %.0f MB needed\n",
                    (std::to_string(megabytes) + " MB").c_str(), FreeBytes(work) / 1e6, work.c_str(),
                    needed / 1e6);
                status = 2;
                continue;
            }
            MakePackage(package, megabytes * MB);
        }
        Figures f = MeasureInChild(package, work / "out");
        std::printf("%-9s %10.1f %8d %8.1f %10.1f %11.1f %13.1f %13.1f %12.1f %10.1f %7s\n",
            (std::to_string(megabytes) + " MB").c_str(), double(fs::file_size(package)) / double(MB),
            f.entries, f.seconds, f.hwmKb / 1024.0, f.startAnonKb / 1024.0, f.peakAnonKb / 1024.0,
            f.peakFileKb / 1024.0, f.endAnonKb / 1024.0, f.rollupAnonKb / 1024.0, f.ok ? "ok" : "FAILED");
        if (!f.ok)
            status = 3;
    }
    return status;
}
