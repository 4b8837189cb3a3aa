#include "support/PackagedModule.h"
#include "res/ResourceIds.h"

#include "platform/ResourceTable.h"
#include "support/Command.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

void WritePackagedModule(const std::string& path, const std::vector<unsigned char>* zip)
{
    static const char s_stub[] = "\x7F"
                                 "ELF not real";
    std::vector<unsigned char> image;
    image.reserve(sizeof s_stub + (zip ? zip->size() + 256 : 0));
    image.assign(s_stub, s_stub + sizeof s_stub - 1);
    if (zip) {
        platform::ResourceEntry entry;
        entry.type = std::string(RT_PACKAGE);
        entry.id = IDR_PACKAGE;
        entry.offset = image.size();
        entry.size = zip->size();
        image.insert(image.end(), zip->begin(), zip->end());
        auto table = platform::SerializeResourceTable({ entry }, image.size());
        image.insert(image.end(), table.begin(), table.end());
    }
    WriteFileBytes(path, image);
}

// The system's interpreter where there is one: shims of version managers
// may not cope with the environment a test sets up.
static std::string PythonCommand()
{
    return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

std::vector<unsigned char> MakeZip(const std::vector<std::pair<std::string, std::string>>& entries)
{
    ScratchFolder scratch;
    std::string script
        = "import sys, zipfile, warnings\n"
          "warnings.simplefilter('ignore')\n"
          "args = sys.argv[2:]\n"
          "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
          "    for name, data in zip(args[0::2], args[1::2]):\n"
          "        info = zipfile.ZipInfo(name, (2020, 1, 2, 3, 4, 6))\n"
          "        info.external_attr = (0o40755 << 16) | 0x10 if name.endswith('/') else 0o100644 << 16\n"
          "        z.writestr(info, open(data, 'rb').read())\n";
    WriteFileBytes(scratch / "make.py", std::vector<unsigned char>(script.begin(), script.end()));
    std::string command
        = PythonCommand() + " " + ShellQuote(scratch / "make.py") + " " + ShellQuote(scratch / "out.zip");
    int n = 0;
    for (const auto& [name, content] : entries) {
        std::string file = scratch / ("content" + std::to_string(n++));
        WriteFileBytes(file, std::vector<unsigned char>(content.begin(), content.end()));
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict)
        // about an inlined " " + std::string.
        command += ' ';
        command += ShellQuote(name);
        command += ' ';
        command += ShellQuote(file);
    }
    auto result = RunCommand(command);
    EXPECT_EQ(result.status, 0) << command << "\n" << result.err;
    return ReadFileBytes(scratch / "out.zip");
}
