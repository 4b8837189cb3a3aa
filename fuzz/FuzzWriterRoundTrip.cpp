// The packager's writer read back by our reader: entries made from the input
// (names, methods, encryption, attributes, times, data) must come back with
// the same names and bytes, and a name the writer refuses must be refused
// as one of the writer's refusals.

#include "zip/ZipException.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"
#include "zip/ZipWriter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A file in memory that grows as it is written and can be rewritten
// anywhere inside, as the writer needs for its local headers.
class CVectorFile final : public CZipFileInterface {
public:
    void Close() override { }
    DWORD GetPosition() const override { return DWORD(position); }
    DWORD Seek(LONG offset, int origin) override
    {
        std::size_t base = origin == current ? position : (origin == end ? bytes.size() : 0);
        position = std::size_t(std::int64_t(base) + offset);
        return DWORD(position);
    }
    DWORD GetLength() const override { return DWORD(bytes.size()); }
    CString GetFilePath() const override { return {}; }
    UINT Read(void* buffer, UINT count) override
    {
        UINT n = UINT(std::min<std::size_t>(count, position < bytes.size() ? bytes.size() - position : 0));
        if (n > 0)
            std::memcpy(buffer, bytes.data() + position, n);
        position += n;
        return n;
    }
    void Write(const void* buffer, UINT count) override
    {
        if (count == 0)
            return;
        if (position + count > bytes.size())
            bytes.resize(position + count);
        std::memcpy(bytes.data() + position, buffer, count);
        position += count;
    }
    bool IsClosed() const override { return false; }

    std::vector<BYTE> bytes {};
    std::size_t position { 0 };
};

struct Added {
    CString name;
    std::vector<BYTE> data;
    bool folder;
};

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "round trip failed: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    CVectorFile archive;
    CZipWriter writer(archive);
    // The reader takes its password as a C string: no NUL inside.
    CString password = input.ConsumeRandomLengthString(16);
    password.erase(std::remove(password.begin(), password.end(), '\0'), password.end());
    writer.SetPassword(password);
    writer.SetLevel(input.ConsumeIntegralInRange(1, 9));

    std::vector<Added> added;
    int count = input.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < count; ++i) {
        CZipNewEntry entry;
        entry.name = input.ConsumeRandomLengthString(64);
        bool folder = input.ConsumeBool();
        entry.method = input.ConsumeBool() ? 8 : 0;
        entry.encrypt = input.ConsumeBool();
        entry.madeBySystem = input.PickValueInArray({ 0, 3 });
        entry.externalAttributes = input.ConsumeIntegral<DWORD>();
        entry.modTime = input.ConsumeIntegral<WORD>();
        entry.modDate = input.ConsumeIntegral<WORD>();
        std::vector<BYTE> bytes
            = input.ConsumeBytes<BYTE>(input.ConsumeIntegralInRange<std::size_t>(0, 4096));

        bool refused = CZipWriter::NameProblem(entry.name, folder) != nullptr
            || (entry.encrypt && !folder && password.empty());
        try {
            if (folder) {
                writer.AddFolder(entry);
            } else {
                CZipMemoryBlock source;
                source.Attach(bytes.data(), DWORD(bytes.size()));
                writer.AddFile(entry, source);
            }
            Check(!refused, "!refused");
            added.push_back({ entry.name, folder ? std::vector<BYTE>() : bytes, folder });
        } catch (const CZipException& e) {
            Check(IsWriterRefusal(e.cause), "a refusal");
            // Refused names, and a second entry of the same name.
            bool duplicate = std::any_of(
                added.begin(), added.end(), [&](const Added& a) { return a.name == entry.name; });
            Check(refused || duplicate, "refused || duplicate");
        }
    }
    CString comment = input.ConsumeRandomLengthString(32);
    try {
        writer.Finish(comment);
    } catch (const CZipException& e) {
        Check(IsWriterRefusal(e.cause), "a refusal");
        // Only a comment that would be mistaken for the end record is refused.
        Check(comment.find("PK\x05\x06") != CString::npos, "comment refused");
        return 0;
    }

    CZipMemoryBlock block;
    block.Attach(archive.bytes.data(), DWORD(archive.bytes.size()));
    CZipReader reader;
    try {
        // An archive without entries is one the reader declines to open.
        Check(reader.Open(block) == !added.empty(), "reader.Open(block) == !added.empty()");
        if (added.empty())
            return 0;
        reader.SetPassword(password.c_str());
        Check(reader.GetEntryCount() == int(added.size()), "reader.GetEntryCount() == int(added.size())");
        // The reader's index order is data order, which is the order of adding.
        for (int i = 0; i < reader.GetEntryCount(); ++i) {
            const CZipEntryHeader* header = reader.GetEntryHeader(i);
            CString expected = added[i].name;
            std::replace(expected.begin(), expected.end(), '/', '\\');
            Check(header->GetFileName() == expected, "header->GetFileName() == expected");
            if (added[i].folder)
                continue;
            Check(reader.OpenEntry(WORD(i)), "reader.OpenEntry(WORD(i))");
            std::vector<BYTE> back;
            BYTE buffer[4096];
            while (DWORD got = reader.ReadEntry(buffer, sizeof buffer))
                back.insert(back.end(), buffer, buffer + got);
            Check(reader.CloseEntry() == CZipReader::EntryClose::closed,
                "reader.CloseEntry() == CZipReader::EntryClose::closed");
            Check(back == added[i].data, "back == added[i].data");
        }
        reader.Close();
    } catch (const CZipException& e) {
        // The writer's own archive must read back without complaint.
        std::fprintf(stderr, "reading back failed: cause %d\n", e.cause);
        std::abort();
    }
    return 0;
}
