#include "support/Command.h"

#include "support/ScratchFolder.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace {
std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
} // namespace

CommandResult RunCommand(const std::string& command)
{
    ScratchFolder scratch;
    std::string out = scratch / "out", err = scratch / "err";
    std::string full = "(" + command + ") >" + ShellQuote(out) + " 2>" + ShellQuote(err) + " </dev/null";
    int raw = std::system(full.c_str());
    CommandResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + (WIFSIGNALED(raw) ? WTERMSIG(raw) : 0);
    result.out = Slurp(out);
    result.err = Slurp(err);
    return result;
}

bool HasProgram(const std::string& name)
{
    return std::system(("command -v " + ShellQuote(name) + " >/dev/null 2>&1").c_str()) == 0;
}

std::string ShellQuote(const std::string& word)
{
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::vector<unsigned char> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
