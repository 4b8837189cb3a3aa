#include "tools/pack/BuildOptions.h"

#include "tools/pack/PackageId.h"
#include "tools/pack/ReadyZip.h"
#include "tools/pack/Result.h"

namespace {

Failure UsageError(const std::string& reason)
{
    return Failure::Usage("build", reason);
}

// One option as it is read: its name, the value given after "=", and the
// arguments from which a value given apart is taken.
struct OptionReader {
    std::span<char* const> arguments;
    size_t& at;
    std::string name {};
    std::optional<std::string> inlineValue {};

    std::optional<std::string> Value()
    {
        if (inlineValue)
            return inlineValue;
        if (at + 1 == arguments.size())
            return std::nullopt;
        return std::string(arguments[++at]);
    }

    // A flag takes no value.
    bool Flag(bool& target)
    {
        target = true;
        return !inlineValue;
    }
};

// The option at `arguments[at]`; `at` moves past a value given apart.
Result<void> ReadOption(std::span<char* const> arguments, size_t& at, BuildOptions& options)
{
    std::string argument = arguments[at];
    OptionReader reader { arguments, at, argument };
    if (size_t equals = argument.find('='); argument.starts_with("--") && equals != std::string::npos) {
        reader.name = argument.substr(0, equals);
        reader.inlineValue = argument.substr(equals + 1);
    }
    const std::string& name = reader.name;
    bool ok = true;
    if (name == "-o" || name == "--output") {
        auto v = reader.Value();
        ok = v.has_value() && !v->empty();
        if (ok)
            options.output = *v;
    } else if (name == "--main" || name == "--ini" || name == "--control" || name == "--player"
        || name == "--title" || name == "--icon") {
        auto v = reader.Value();
        ok = v.has_value() && !v->empty();
        if (ok) {
            auto& target = name == "--main" ? options.mainMovie
                : name == "--ini"           ? options.ini
                : name == "--control"       ? options.control
                : name == "--title"         ? options.title
                : name == "--icon"          ? options.icon
                                            : options.player;
            target = *v;
        }
    } else if (name == "--id") {
        auto v = reader.Value();
        if (!v)
            return UsageError("'--id' needs a value");
        if (!IsValidPackageId(*v))
            return UsageError("--id '" + *v + "': an id is 1 to 64 characters of A-Z, a-z, 0-9, '_' and '-'");
        options.id = *v;
    } else if (name == "--play-all") {
        ok = reader.Flag(options.playAll);
    } else if (name == "--fullscreen") {
        ok = reader.Flag(options.fullScreen);
    } else if (name == "--store") {
        ok = reader.Flag(options.store);
    } else if (name == "--no-control") {
        ok = reader.Flag(options.noControl);
    } else if (name == "--no-encrypt") {
        bool noEncrypt = false;
        ok = reader.Flag(noEncrypt);
        options.encrypt = false;
    } else {
        return UsageError("unknown option '" + argument + "'");
    }
    if (!ok)
        return UsageError("'" + name + "' " + (reader.inlineValue ? "takes no value" : "needs a value"));
    return {};
}

Result<void> CheckOptions(const BuildOptions& options)
{
    if (options.output.empty())
        return UsageError("no OUTPUT (-o)");
    if (options.inputs.empty())
        return UsageError("no INPUT");
    if (options.noControl && options.control)
        return UsageError("--control and --no-control exclude each other");
    if (options.ini && (options.mainMovie || options.playAll || options.fullScreen))
        return UsageError("--main, --play-all and --fullscreen write package.ini; with --ini it is given");
    if (options.readyZip
        && (options.mainMovie || options.playAll || options.fullScreen || options.ini || options.id
            || !options.encrypt || options.store))
        return UsageError(
            "a ready .zip is used as it is: --main, --play-all, --fullscreen, --ini, --id, --no-encrypt "
            "and --store do not apply");
    return {};
}

} // namespace

Result<BuildOptions> ParseBuildOptions(std::span<char* const> arguments)
{
    BuildOptions options;
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-")
            options.inputs.push_back(argument);
        else if (argument == "--")
            optionsEnded = true;
        else
            TRY(ReadOption(arguments, i, options));
    }
    options.readyZip = IsReadyZip(options.inputs);
    TRY(CheckOptions(options));
    return options;
}
