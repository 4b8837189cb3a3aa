// quorvel-pack: looks into packages and makes them.

#include "tools/pack/Command.h"

#include <cstdio>
#include <iterator>
#include <string>

namespace {

// The verbs in the order the usage text lists them.
const PackCommand s_commands[] = {
    { "list", "list PACKAGE", RunList },
    { "extract", "extract PACKAGE DIR [--password PW]", RunExtract },
    { "info", "info MOVIE", RunInfo },
    { "build",
        "build -o OUTPUT [--main NAME] [--play-all] [--fullscreen] [--ini FILE] [--no-encrypt] [--store]\n"
        "        [--no-control] [--control PATH] [--player PATH] INPUT...",
        RunBuild },
};

int Usage()
{
    std::fprintf(stderr, "usage:\n");
    for (const auto& command : s_commands)
        std::fprintf(stderr, "  quorvel-pack %.*s\n", int(command.usage.size()), command.usage.data());
    return StatusUsage;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    std::string_view verb = argv[1];
    for (const auto& command : s_commands) {
        if (verb == command.name)
            return command.run(std::span<char* const>(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "quorvel-pack: unknown verb '%s'\n", argv[1]);
    return Usage();
}
