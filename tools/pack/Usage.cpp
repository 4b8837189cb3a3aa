#include "tools/pack/Usage.h"

#include "tools/pack/Command.h"

namespace {

struct VerbUsage {
    std::string_view name;
    // After "quorvel-pack VERB"; a line break continues it under the first line.
    std::string_view synopsis;
    std::string_view details;
};

// The verbs in the order the usage lists them.
const VerbUsage s_verbs[] = {
    { "list", "PACKAGE",
        "  One line per entry: its name, a tab and its details. PACKAGE is a ZIP archive, a\n"
        "  packaged player or a Windows player (its ZIP/129 resource); a player's own title and\n"
        "  icon, when it has them, come first\n"
        "  (\"title: TEXT\", \"icon: WIDTHxHEIGHT PNG, N bytes\").\n" },
    { "extract", "PACKAGE DIR [--password PW]",
        "  Writes every entry of PACKAGE into DIR, without their folders, as the player unpacks it.\n"
        "  --password PW        the entries' password (default: the package password)\n" },
    { "info", "MOVIE",
        "  The movie's frame size and, when its first tag sets one, its background colour:\n"
        "  WIDTHxHEIGHT [#RRGGBB].\n" },
    { "build",
        "-o OUTPUT [--main NAME] [--play-all] [--fullscreen] [--ini FILE] [--id ID]\n"
        "[--title TEXT] [--icon FILE] [--no-encrypt] [--store] [--no-control]\n"
        "[--control PATH] [--player PATH] INPUT...",
        "  Writes OUTPUT: a copy of the player carrying a package of INPUT (movies and folders of\n"
        "  movies, Windows players (their packages), or one ready .zip used as it is) and the\n"
        "  Flash control.\n"
        "  -o, --output OUTPUT  the player to write\n"
        "  --main NAME          the movie to start with (default: the first one)\n"
        "  --play-all           play every movie in turn\n"
        "  --fullscreen         start full screen\n"
        "  --ini FILE           the package.ini to carry (instead of --main, --play-all, --fullscreen)\n"
        "  --id ID              the package's identity (1 to 64 of A-Z a-z 0-9 _ -), under which the\n"
        "                       player keeps what its movies save; by default the one package.ini\n"
        "                       has, else a new random one\n"
        "  --title TEXT         the window's title and the menu entry's name (UTF-8, at most 256 bytes;\n"
        "                       default: Quorvel)\n"
        "  --icon FILE          the window's and the menu entry's icon: a PNG of any size\n"
        "                       (default: Quorvel's)\n"
        "  --no-encrypt         store the entries unencrypted\n"
        "  --store              store the entries uncompressed\n"
        "  --no-control         carry no Flash control\n"
        "  --control PATH       the Flash control to carry (default: the one next to quorvel-pack)\n"
        "  --player PATH        the player to copy (default: quorvel-player next to quorvel-pack,\n"
        "                       else in ../lib/quorvel from there)\n" },
    { "install", "PLAYER [--prefix DIR]",
        "  Puts the packaged PLAYER into the desktop's menu: copies it to ~/.local/bin, writes its\n"
        "  desktop entry ~/.local/share/applications/quorvel-ID.desktop and its icon into the hicolor\n"
        "  theme under ~/.local/share/icons (ID: the package's id; XDG_DATA_HOME stands for\n"
        "  ~/.local/share when set). Installing again replaces them.\n"
        "  --prefix DIR         use DIR/bin and DIR/share instead\n" },
    { "uninstall", "PLAYER [--prefix DIR]",
        "  Removes what install wrote for PLAYER.\n"
        "  --prefix DIR         the DIR it was installed under\n" },
    { "help", "[VERB]",
        "  This text, or one verb's (as does VERB --help).\n"
        "  --help, -h           this text\n"
        "  --version            the versions of quorvel-pack and of its movie engine\n" },
};

constexpr std::string_view s_trailer
    = "Exit status: 0 success, 1 a usage error, 2 an error (\"error: ...\" on standard error),\n"
      "3 entries that did not extract completely.\n";

void PrintSynopsis(const VerbUsage& verb, std::string_view prefix, std::FILE* out)
{
    std::string indent(prefix.size() + verb.name.size() + 1, ' ');
    std::string_view rest = verb.synopsis;
    std::fprintf(
        out, "%.*s%.*s ", int(prefix.size()), prefix.data(), int(verb.name.size()), verb.name.data());
    for (bool first = true; !rest.empty(); first = false) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        std::fprintf(out, "%s%.*s\n", first ? "" : indent.c_str(), int(line.size()), line.data());
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
}

const VerbUsage* FindVerb(std::string_view name)
{
    for (const VerbUsage& verb : s_verbs) {
        if (verb.name == name)
            return &verb;
    }
    return nullptr;
}

} // namespace

void PrintUsage(std::FILE* out)
{
    std::fputs("usage: quorvel-pack VERB [ARGUMENT...]\n", out);
    for (const VerbUsage& verb : s_verbs)
        PrintSynopsis(verb, "       quorvel-pack ", out);
    std::fputs("       quorvel-pack --help | -h\n"
               "       quorvel-pack --version\n",
        out);
    for (const VerbUsage& verb : s_verbs) {
        std::fprintf(out, "\n%.*s:\n%.*s", int(verb.name.size()), verb.name.data(), int(verb.details.size()),
            verb.details.data());
    }
    std::fprintf(out, "\n%.*s", int(s_trailer.size()), s_trailer.data());
}

bool PrintVerbUsage(std::string_view name, std::FILE* out)
{
    const VerbUsage* verb = FindVerb(name);
    if (!verb)
        return false;
    PrintSynopsis(*verb, "usage: quorvel-pack ", out);
    std::fprintf(out, "%.*s", int(verb->details.size()), verb->details.data());
    return true;
}

int VerbUsageError(std::string_view verb, const std::string& reason)
{
    if (!reason.empty())
        std::fprintf(stderr, "quorvel-pack %.*s: %s\n", int(verb.size()), verb.data(), reason.c_str());
    if (!PrintVerbUsage(verb, stderr))
        PrintUsage(stderr);
    return StatusUsage;
}

bool AsksForHelp(std::span<char* const> arguments)
{
    for (std::string_view argument : arguments) {
        if (argument == "--")
            return false;
        if (argument == "--help" || argument == "-h")
            return true;
    }
    return false;
}
