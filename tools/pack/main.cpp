// quorvel-pack: looks into packages, makes them, and puts packaged players
// into the desktop's menu.

#include "tools/pack/Command.h"
#include "tools/pack/PackVersion.h"
#include "tools/pack/Usage.h"

#include <cstdio>
#include <string_view>

namespace {

const PackCommand s_commands[] = {
    { "list", RunList },
    { "extract", RunExtract },
    { "info", RunInfo },
    { "build", RunBuild },
    { "install", RunInstall },
    { "uninstall", RunUninstall },
};

int UsageError(const char* reason, const char* word)
{
    if (reason)
        std::fprintf(stderr, "quorvel-pack: %s '%s'\n", reason, word);
    PrintUsage(stderr);
    return StatusUsage;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return UsageError(nullptr, nullptr);
    std::string_view verb = argv[1];
    std::span<char* const> arguments(argv + 2, argv + argc);
    if (verb == "--help" || verb == "-h"
        || (verb == "help" && (arguments.empty() || AsksForHelp(arguments)))) {
        PrintUsage(stdout);
        return StatusOk;
    }
    if (verb == "help") {
        if (arguments.size() != 1)
            return UsageError("help takes one verb, not", argv[3]);
        if (!PrintVerbUsage(arguments[0], stdout))
            return UsageError("unknown verb", arguments[0]);
        return StatusOk;
    }
    if (verb == "--version") {
        if (!arguments.empty())
            return UsageError("--version takes no argument, not", arguments[0]);
        std::printf("quorvel-pack %s\n%s %s (%s)\n", PackVersion, EngineName, EngineVersion, EnginePackage);
        return StatusOk;
    }
    for (const auto& command : s_commands) {
        if (verb != command.name)
            continue;
        if (AsksForHelp(arguments)) {
            PrintVerbUsage(verb, stdout);
            return StatusOk;
        }
        return command.run(arguments);
    }
    return UsageError(verb.starts_with("-") ? "unknown option" : "unknown verb", argv[1]);
}
