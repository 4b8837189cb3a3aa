// quorvel-bench-extract PACKAGE [--runs N] [--work DIR] [--memory PKG]... [--password PW]
//
// Times the extraction of a package held in memory, the way the player's
// start-up unpacks its package, against the same decryption, inflation and
// CRC-32 with no files written (the floor) and against unzip, 7z and bsdtar
// unpacking the same file. Every tool gets a fresh empty folder on the same
// file system for each run; the best of N runs counts. Every tool's output is
// checked against the package's sizes and CRC-32s once.
//
// It then measures the peak memory of our extraction in a child process that
// maps each package read-only, so that the package's pages count as
// file-backed and the anonymous memory is the reader's own.

#include "app/PackagePassword.h"
#include "platform/FileException.h"
#include "platform/MappedFile.h"
#include "zip/ZipException.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

#ifndef QUORVEL_BENCH_BUILD_TYPE
#define QUORVEL_BENCH_BUILD_TYPE ""
#endif

namespace {

constexpr DWORD TransferSize = CZipReader::DefaultBufferSize;

struct Entry {
    std::string name;
    DWORD size { 0 };
    DWORD crc { 0 };
};

struct Package {
    std::string path;
    std::vector<BYTE> bytes;
    std::vector<Entry> entries;
    uint64_t contentBytes { 0 };
};

// One timed run: wall and CPU seconds, or why it failed.
struct Timing {
    bool ok { false };
    double wall { 0 };
    double cpu { 0 };
    std::string error;
};

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double CpuSeconds(const rusage& usage)
{
    return double(usage.ru_utime.tv_sec) + double(usage.ru_stime.tv_sec)
        + (double(usage.ru_utime.tv_usec) + double(usage.ru_stime.tv_usec)) / 1e6;
}

double SelfCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return CpuSeconds(usage);
}

std::string ZipErrorText(const CZipException& error)
{
    std::string text = DescribeCause(error.cause, false);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// Runs `body` with a reader opened on `data` and the password set, turning
// the layer's exceptions into an error text.
bool WithReader(const BYTE* data, size_t size, const std::string& password,
    const std::function<bool(CZipReader&, std::string&)>& body, std::string& error)
{
    CZipMemoryBlock block;
    block.Attach(data, DWORD(size));
    CZipReader zip;
    try {
        if (!zip.Open(block)) {
            error = "the reader refused the package";
            return false;
        }
        zip.SetPassword(password.c_str());
        bool ok = body(zip, error);
        zip.Close();
        return ok;
    } catch (const CZipException& e) {
        zip.Close(CZipReader::closeAfterException);
        error = ZipErrorText(e);
    } catch (const CFileException& e) {
        zip.Close(CZipReader::closeAfterException);
        error = e.what();
    }
    return false;
}

// What the player's start-up does: every entry through ExtractEntry into one
// folder, stored folders dropped, 64 KB transfers.
bool ExtractAll(
    const BYTE* data, size_t size, const std::string& password, const std::string& folder, std::string& error)
{
    return WithReader(
        data, size, password,
        [&](CZipReader& zip, std::string& why) {
            for (int i = 0; i < zip.GetEntryCount(); ++i) {
                if (!zip.ExtractEntry(i, folder.c_str(), false, nullptr, TransferSize)) {
                    why = zip.GetEntryHeader(i)->GetFileName() + ": not extracted completely";
                    return false;
                }
            }
            return true;
        },
        error);
}

// The floor: the same reading of every entry into a 64 KB buffer, with the
// CRC-32 checked at the close, and nothing written.
bool ReadAll(const BYTE* data, size_t size, const std::string& password, std::string& error)
{
    return WithReader(
        data, size, password,
        [&](CZipReader& zip, std::string& why) {
            std::vector<BYTE> buffer(TransferSize);
            for (int i = 0; i < zip.GetEntryCount(); ++i) {
                if (!zip.OpenEntry(WORD(i))) {
                    why = "cannot open entry " + std::to_string(i);
                    return false;
                }
                while (zip.ReadEntry(buffer.data(), TransferSize) == TransferSize) { }
                if (zip.CloseEntry() != CZipReader::EntryClose::closed) {
                    why = zip.GetEntryHeader(i)->GetFileName() + ": ended early";
                    return false;
                }
            }
            return true;
        },
        error);
}

bool LoadPackage(const std::string& path, const std::string& password, Package& package, std::string& error)
{
    package.path = path;
    std::error_code code;
    auto size = fs::file_size(path, code);
    if (code || size > 0xFFFFFFFFu) {
        error = path + ": " + (code ? code.message() : "too large for a package");
        return false;
    }
    package.bytes.resize(size);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    bool read = file && std::fread(package.bytes.data(), 1, size, file) == size;
    if (file)
        std::fclose(file);
    if (!read) {
        error = path + ": cannot read";
        return false;
    }
    return WithReader(
        package.bytes.data(), package.bytes.size(), password,
        [&](CZipReader& zip, std::string&) {
            for (int i = 0; i < zip.GetEntryCount(); ++i) {
                const CZipEntryHeader& header = *zip.GetEntryHeader(i);
                if (header.IsDirectory())
                    continue;
                package.entries.push_back({ header.GetFileName(), header.uncompressedSize, header.crc32 });
                package.contentBytes += header.uncompressedSize;
            }
            return true;
        },
        error);
}

// Checks that `folder` holds exactly the package's files with their sizes and
// CRC-32s.
bool Verify(const Package& package, const fs::path& folder, std::string& error)
{
    std::vector<BYTE> buffer(1 << 20);
    size_t files = 0;
    for (const auto& item : fs::recursive_directory_iterator(folder))
        files += item.is_regular_file() ? 1 : 0;
    if (files != package.entries.size()) {
        error = std::to_string(files) + " files instead of " + std::to_string(package.entries.size());
        return false;
    }
    for (const Entry& entry : package.entries) {
        fs::path path = folder / entry.name;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = entry.name + ": missing";
            return false;
        }
        uLong crc = crc32(0, nullptr, 0);
        uint64_t total = 0;
        ssize_t count;
        while ((count = ::read(fd, buffer.data(), buffer.size())) > 0) {
            crc = crc32(crc, buffer.data(), uInt(count));
            total += uint64_t(count);
        }
        ::close(fd);
        if (count < 0 || total != entry.size || DWORD(crc) != entry.crc) {
            error = entry.name + ": wrong content";
            return false;
        }
    }
    return true;
}

// Runs a command with its output discarded (its standard error kept in
// `errorFile`), and returns its wall time and the CPU time it used.
Timing RunCommand(const std::vector<std::string>& command, const fs::path& errorFile)
{
    Timing timing;
    std::vector<char*> argv;
    for (const std::string& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    auto start = Clock::now();
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        timing.error = command[0] + ": " + std::strerror(spawned);
        return timing;
    }
    int status = 0;
    rusage usage {};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) { }
    timing.wall = Seconds(start);
    timing.cpu = CpuSeconds(usage);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        timing.ok = true;
        return timing;
    }
    // The first line the tool complained with says more than a status.
    std::string message;
    if (std::FILE* file = std::fopen(errorFile.c_str(), "r")) {
        char line[512];
        while (message.empty() && std::fgets(line, sizeof line, file)) {
            message = line;
            while (!message.empty()
                && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
                message.pop_back();
        }
        std::fclose(file);
    }
    timing.error = command[0]
        + (WIFEXITED(status) ? " exited with " + std::to_string(WEXITSTATUS(status))
                             : std::string(" was killed"));
    if (!message.empty())
        timing.error += ": " + message;
    return timing;
}

struct Tool {
    std::string key;
    std::string label;
    bool peer { false };
    bool writesFiles { true };
    bool informational { false };
    // Runs once into the given (empty, existing) folder.
    std::function<Timing(const fs::path&)> run;
    std::optional<Timing> best {};
    std::string failure {};
    bool verified { false };
};

Timing TimeInProcess(const std::function<bool(std::string&)>& body)
{
    Timing timing;
    double cpuBefore = SelfCpuSeconds();
    auto start = Clock::now();
    timing.ok = body(timing.error);
    timing.wall = Seconds(start);
    timing.cpu = SelfCpuSeconds() - cpuBefore;
    return timing;
}

// Memory: the child's own report, one line of numbers in KiB.
struct MemoryReport {
    long hwm { -1 };
    long anonBase { -1 };
    long anonPeak { -1 };
    long maxRss { -1 };
};

long StatusField(const char* text, const char* field)
{
    const char* at = std::strstr(text, field);
    return at ? std::strtol(at + std::strlen(field) + 1, nullptr, 10) : -1;
}

// Reads /proc/self/status into a fixed buffer: no allocation, so a sampling
// thread does not disturb what it measures.
bool ReadStatus(char* buffer, size_t size)
{
    int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ssize_t count = ::read(fd, buffer, size - 1);
    ::close(fd);
    if (count <= 0)
        return false;
    buffer[count] = '\0';
    return true;
}

int RunMemoryChild(const std::string& path, const std::string& folder, const std::string& password)
{
    static char status[8192];
    std::atomic<bool> stop { false };
    std::atomic<long> anonPeak { 0 };
    // Anonymous memory has no high-water mark of its own: a thread samples it
    // every 200 microseconds, far more often than an entry opens and closes.
    std::thread sampler([&] {
        static char text[8192];
        while (!stop.load()) {
            if (ReadStatus(text, sizeof text)) {
                long anon = StatusField(text, "RssAnon:");
                if (anon > anonPeak.load())
                    anonPeak.store(anon);
            }
            ::usleep(200);
        }
    });
    ::usleep(2000);
    MemoryReport report;
    if (ReadStatus(status, sizeof status))
        report.anonBase = StatusField(status, "RssAnon:");
    // Start the resident high-water mark afresh, at what the process holds now.
    if (std::FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", refs);
        std::fclose(refs);
    }

    std::string error;
    bool ok = false;
    {
        CMappedFile mapped;
        if (!mapped.Open(path.c_str()))
            error = path + ": cannot map";
        else
            ok = ExtractAll(mapped.data(), mapped.size(), password, folder, error);
        if (ReadStatus(status, sizeof status))
            report.hwm = StatusField(status, "VmHWM:");
    }
    stop.store(true);
    sampler.join();
    if (!ok) {
        std::fprintf(stderr, "error: %s\n", error.c_str());
        return 2;
    }
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    report.anonPeak = anonPeak.load();
    report.maxRss = usage.ru_maxrss;
    std::printf("%ld %ld %ld %ld\n", report.hwm, report.anonBase, report.anonPeak, report.maxRss);
    return 0;
}

std::optional<MemoryReport> MeasureMemory(
    const std::string& self, const std::string& package, const fs::path& folder, const std::string& password)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return std::nullopt;
    std::vector<std::string> command { self, "--memory-child", package, folder.string(), password };
    std::vector<char*> argv;
    for (const std::string& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    std::string output;
    char chunk[256];
    ssize_t count;
    while (spawned == 0 && (count = ::read(pipeEnds[0], chunk, sizeof chunk)) != 0) {
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            break;
        output.append(chunk, size_t(count));
    }
    ::close(pipeEnds[0]);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    MemoryReport report;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0
        || std::sscanf(output.c_str(), "%ld %ld %ld %ld", &report.hwm, &report.anonBase, &report.anonPeak,
               &report.maxRss)
            != 4)
        return std::nullopt;
    return report;
}

// Where the tools write: tmpfs when it has room for two extractions at once,
// else the folder given or the current one.
fs::path ChooseWorkRoot(const std::string& requested, uint64_t needed)
{
    if (!requested.empty())
        return requested;
    std::error_code code;
    auto space = fs::space("/dev/shm", code);
    if (!code && space.available > needed)
        return "/dev/shm";
    return fs::current_path();
}

std::string FileSystemName(const fs::path& path)
{
    struct statfs info { };
    if (::statfs(path.c_str(), &info) != 0)
        return "unknown file system";
    switch (info.f_type) {
    case 0x01021994:
        return "tmpfs";
    case 0xEF53:
        return "ext2/3/4";
    case 0x9123683E:
        return "btrfs";
    case 0x58465342:
        return "xfs";
    case 0x794C7630:
        return "overlayfs";
    default:
        return "file system 0x" + [&] {
            char hex[32];
            std::snprintf(hex, sizeof hex, "%lx", (unsigned long)info.f_type);
            return std::string(hex);
        }();
    }
}

// The machine's load average over the last minute: other work on a small
// machine moves every row, and the reader of a table should know of it.
std::string LoadAverage()
{
    std::string text = "unknown";
    if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
        char buffer[64] = {};
        if (std::fscanf(file, "%63s", buffer) == 1)
            text = buffer;
        std::fclose(file);
    }
    return text;
}

int Usage()
{
    std::fprintf(stderr,
        "usage: quorvel-bench-extract PACKAGE [--runs N] [--work DIR] [--memory PKG]... [--password PW]\n");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--memory-child") == 0)
        return RunMemoryChild(argv[2], argv[3], argv[4]);

    std::string packagePath;
    std::string workRequested;
    std::string password = PackagePassword;
    std::vector<std::string> memoryPackages;
    std::string selected;
    bool memory = true;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        bool hasValue = i + 1 < argc;
        if (argument == "--runs" && hasValue)
            runs = std::atoi(argv[++i]);
        else if (argument == "--work" && hasValue)
            workRequested = argv[++i];
        else if (argument == "--memory" && hasValue)
            memoryPackages.push_back(argv[++i]);
        else if (argument == "--tools" && hasValue)
            selected = "," + std::string(argv[++i]) + ",";
        else if (argument == "--no-memory")
            memory = false;
        else if (argument == "--password" && hasValue)
            password = argv[++i];
        else if (argument.starts_with("--") || !packagePath.empty())
            return Usage();
        else
            packagePath = argument;
    }
    if (packagePath.empty() || runs < 1)
        return Usage();
    if (memoryPackages.empty())
        memoryPackages.push_back(packagePath);

    std::error_code code;
    std::string self = fs::read_symlink("/proc/self/exe", code).string();
    packagePath = fs::absolute(packagePath).string();

    Package package;
    std::string error;
    if (!LoadPackage(packagePath, password, package, error)) {
        std::fprintf(stderr, "error: %s\n", error.c_str());
        return 2;
    }
    fs::path root = ChooseWorkRoot(workRequested, 2 * package.contentBytes + (64u << 20));
    std::string pattern = (root / "quorvel-bench.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::fprintf(stderr, "error: cannot make a folder in %s: %s\n", root.c_str(), std::strerror(errno));
        return 2;
    }
    fs::path work = pattern;

    std::vector<Tool> tools;
    tools.push_back({ "ours", "ours (ExtractEntry)", false, true, false, [&](const fs::path& folder) {
                         return TimeInProcess([&](std::string& why) {
                             return ExtractAll(
                                 package.bytes.data(), package.bytes.size(), password, folder.string(), why);
                         });
                     } });
    tools.push_back({ "floor", "floor (no writes)", false, false, false, [&](const fs::path&) {
                         return TimeInProcess([&](std::string& why) {
                             return ReadAll(package.bytes.data(), package.bytes.size(), password, why);
                         });
                     } });
    // Not a target: the same extraction with the package mapped from its file
    // inside the timing, as close as we get to what the peers do.
    tools.push_back({ "mapped", "ours, mapped file", false, true, true, [&](const fs::path& folder) {
                         return TimeInProcess([&](std::string& why) {
                             CMappedFile mapped;
                             if (!mapped.Open(packagePath.c_str())) {
                                 why = "cannot map the package";
                                 return false;
                             }
                             return ExtractAll(mapped.data(), mapped.size(), password, folder.string(), why);
                         });
                     } });
    fs::path errors = work / "stderr.txt";
    tools.push_back({ "unzip", "unzip -P", true, true, false,
        [&](const fs::path& folder) {
            return RunCommand({ "unzip", "-qo", "-P", password, packagePath, "-d", folder.string() }, errors);
        } });
    tools.push_back(
        { "7z", "7z x -p", true, true, false, [&](const fs::path& folder) {
             return RunCommand(
                 { "7z", "x", "-y", "-p" + password, "-o" + folder.string(), packagePath }, errors);
         } });
    tools.push_back(
        { "bsdtar", "bsdtar --passphrase", true, true, false, [&](const fs::path& folder) {
             return RunCommand(
                 { "bsdtar", "-xf", packagePath, "--passphrase", password, "-C", folder.string() }, errors);
         } });

    if (!selected.empty())
        std::erase_if(tools,
            [&](const Tool& tool) { return selected.find("," + tool.key + ",") == std::string::npos; });

    std::printf("package   %s\n", packagePath.c_str());
    std::printf("          %zu entries, %.1f MB of content, %.1f MB packed (MB = 10^6 bytes)\n",
        package.entries.size(), double(package.contentBytes) / 1e6, double(package.bytes.size()) / 1e6);
    std::printf("output    %s (%s), a fresh empty folder per tool and run\n", work.c_str(),
        FileSystemName(work).c_str());
    std::printf("build     %s\n", QUORVEL_BENCH_BUILD_TYPE[0] ? QUORVEL_BENCH_BUILD_TYPE : "no build type");
    std::printf("runs      best of %d, tools interleaved; load average %s on %u CPUs at the start\n\n", runs,
        LoadAverage().c_str(), std::thread::hardware_concurrency());
    std::fflush(stdout);

    // Interleaving the tools within each round spreads any slow spell of the
    // machine over all of them.
    for (int run = 0; run < runs; ++run) {
        for (size_t t = 0; t < tools.size(); ++t) {
            Tool& tool = tools[t];
            if (!tool.failure.empty())
                continue;
            fs::path folder = work / ("run" + std::to_string(run) + "-tool" + std::to_string(t));
            fs::create_directory(folder);
            Timing timing = tool.run(folder);
            if (timing.ok && tool.writesFiles && !tool.verified) {
                std::string why;
                if (Verify(package, folder, why))
                    tool.verified = true;
                else
                    timing = { false, 0, 0, "output differs from the package: " + why };
            }
            if (!timing.ok)
                tool.failure = timing.error;
            else if (!tool.best || timing.wall < tool.best->wall)
                tool.best = timing;
            fs::remove_all(folder, code);
        }
    }

    auto find = [&](const char* key) {
        auto it = std::find_if(tools.begin(), tools.end(), [&](const Tool& tool) { return tool.key == key; });
        return it == tools.end() ? nullptr : &*it;
    };
    const Tool* ours = find("ours");
    const Tool* floor = find("floor");
    double oursWall = ours && ours->best ? ours->best->wall : 0;
    std::printf("%-22s %9s %9s %9s %9s\n", "tool", "wall s", "MB/s", "CPU s", "x ours");
    for (const Tool& tool : tools) {
        if (!tool.best) {
            std::printf("%-22s failed: %s\n", tool.label.c_str(), tool.failure.c_str());
            continue;
        }
        const Timing& best = *tool.best;
        std::printf("%-22s %9.3f %9.1f %9.3f %9s\n", tool.label.c_str(), best.wall,
            double(package.contentBytes) / 1e6 / best.wall, best.cpu,
            oursWall > 0 ? [&] {
                char ratio[32];
                std::snprintf(ratio, sizeof ratio, "%.2f", best.wall / oursWall);
                return std::string(ratio);
            }()
                         .c_str()
                         : "-");
    }
    std::printf("(load average %s at the end)\n\n", LoadAverage().c_str());

    const Tool* fastestPeer = nullptr;
    for (const Tool& tool : tools)
        if (tool.peer && tool.best && (!fastestPeer || tool.best->wall < fastestPeer->best->wall))
            fastestPeer = &tool;
    bool met = oursWall > 0;
    if (oursWall > 0 && fastestPeer) {
        double ratio = oursWall / fastestPeer->best->wall;
        met = met && ratio <= 1.00;
        std::printf("ours / fastest peer (%s) = %.2f (target <= 1.00): %s\n", fastestPeer->label.c_str(),
            ratio, ratio <= 1.00 ? "met" : "MISSED");
    } else {
        std::printf("ours / fastest peer: no result\n");
    }
    if (oursWall > 0 && floor && floor->best) {
        double ratio = oursWall / floor->best->wall;
        met = met && ratio <= 1.10;
        std::printf("ours / floor = %.2f (target <= 1.10): %s\n", ratio, ratio <= 1.10 ? "met" : "MISSED");
    } else {
        std::printf("ours / floor: no result\n");
    }
    std::printf("\n");
    std::fflush(stdout);

    if (!memory) {
        fs::remove_all(work, code);
        return met ? 0 : 3;
    }
    std::printf(
        "peak memory of our extraction, in a child process with the package mapped read-only (KiB)\n");
    std::printf("%-28s %9s %9s %9s %9s %9s\n", "package", "MB", "VmHWM", "anon@0", "anon peak", "anon +");
    bool memoryOk = true;
    for (const std::string& path : memoryPackages) {
        fs::path folder = work / "memory";
        fs::create_directory(folder);
        auto report = MeasureMemory(self, fs::absolute(path).string(), folder, password);
        fs::remove_all(folder, code);
        auto size = fs::file_size(path, code);
        std::string name = fs::path(path).filename().string();
        if (!report) {
            std::printf("%-28s failed\n", name.c_str());
            memoryOk = false;
            continue;
        }
        std::printf("%-28s %9.1f %9ld %9ld %9ld %9ld\n", name.c_str(), code ? 0.0 : double(size) / 1e6,
            report->hwm, report->anonBase, report->anonPeak, report->anonPeak - report->anonBase);
    }
    std::printf("VmHWM includes the mapped package's pages; anon + is the anonymous memory the extraction "
                "added.\n");

    fs::remove_all(work, code);
    return met && memoryOk ? 0 : 3;
}
