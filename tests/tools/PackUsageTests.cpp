// The conventions of quorvel-pack as a command: its help, version and wrong
// uses, and the manual page and bash completion that follow its usage.

#include "support/Command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

namespace {

const std::string s_pack = QUORVEL_BINARY_DIR "/quorvel-pack";

CommandResult Pack(const std::string& arguments)
{
    return RunCommand(ShellQuote(s_pack) + " " + arguments);
}

std::string SourceText(const std::string& path)
{
    std::ifstream in(std::string(QUORVEL_SOURCE_DIR) + "/" + path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The verbs and the options the whole usage names.
std::set<std::string> UsageWords(const std::string& usage)
{
    std::set<std::string> words;
    std::regex verb(R"(^(usage: )?\s*quorvel-pack ([a-z]+))");
    std::istringstream lines(usage);
    for (std::string line; std::getline(lines, line);) {
        if (std::smatch match; std::regex_search(line, match, verb))
            words.insert(match[2]);
    }
    std::regex option(R"((^|[\s\[|,])(--?[a-z][a-z-]*))");
    for (std::sregex_iterator at(usage.begin(), usage.end(), option), end; at != end; ++at)
        words.insert((*at)[2]);
    return words;
}

} // namespace

TEST(PackUsage, EveryFormOfHelpPrintsTheUsageOnStandardOutput)
{
    CommandResult whole = Pack("--help");
    ASSERT_EQ(whole.status, 0);
    EXPECT_EQ(whole.err, "");
    EXPECT_TRUE(whole.out.starts_with("usage: quorvel-pack")) << whole.out;
    EXPECT_EQ(Pack("-h").out, whole.out);
    EXPECT_EQ(Pack("help").out, whole.out);

    for (const char* verb : { "list", "extract", "info", "build", "install", "uninstall" }) {
        std::string usage = std::string("usage: quorvel-pack ") + verb + " ";
        for (std::string form :
            { std::string("help ") + verb, std::string(verb) + " --help", std::string(verb) + " -h" }) {
            CommandResult result = Pack(form);
            EXPECT_EQ(result.status, 0) << form;
            EXPECT_EQ(result.err, "") << form;
            EXPECT_TRUE(result.out.starts_with(usage)) << form << "\n" << result.out;
        }
    }
    // The build's help comes before anything it would check.
    CommandResult build = Pack("build -o /nonexistent/folder/game --help");
    EXPECT_EQ(build.status, 0);
    EXPECT_NE(build.out.find("--title TEXT"), std::string::npos);
}

TEST(PackUsage, VersionNamesThePackagerAndThePinnedEngine)
{
    CommandResult version = Pack("--version");
    ASSERT_EQ(version.status, 0);
    EXPECT_EQ(version.err, "");
    std::smatch pinned;
    std::string lock = SourceText("control/package-lock.json");
    ASSERT_TRUE(std::regex_search(
        lock, pinned, std::regex(R"re("node_modules/@ruffle-rs/ruffle": \{\s*"version": "([^"]+)")re")));
    EXPECT_TRUE(std::regex_match(version.out,
        std::regex("quorvel-pack [0-9]+\\.[0-9]+\\.[0-9]+\nRuffle web player "
            + std::regex_replace(pinned[1].str(), std::regex("\\."), "\\.") + " \\(@ruffle-rs/ruffle\\)\n")))
        << version.out;
}

TEST(PackUsage, WrongUsesPrintTheUsageOnStandardErrorAndExitOne)
{
    for (const char* wrong : { "", "bogus", "--bogus", "help bogus", "help list info", "--version extra",
             "list", "info", "extract pkg", "build", "build -o out", "install", "install a b",
             "uninstall --prefix", "install --bogus p" }) {
        CommandResult result = Pack(wrong);
        EXPECT_EQ(result.status, 1) << wrong;
        EXPECT_EQ(result.out, "") << wrong;
        EXPECT_NE(result.err.find("usage: quorvel-pack"), std::string::npos) << wrong << "\n" << result.err;
    }
    EXPECT_TRUE(Pack("bogus").err.starts_with("quorvel-pack: unknown verb 'bogus'\n"));
}

// Every verb and option of the usage is in the manual page and in the completion.
TEST(PackUsage, ManualPageAndCompletionFollowTheUsage)
{
    std::set<std::string> words = UsageWords(Pack("--help").out);
    for (const char* expected : { "list", "extract", "info", "build", "install", "uninstall", "help", "--id",
             "--title", "--icon", "--prefix", "--output", "-o", "--version", "-h" })
        EXPECT_TRUE(words.contains(expected)) << expected;

    // Roff writes a hyphen as "\-".
    std::string manual
        = std::regex_replace(SourceText("tools/pack/quorvel-pack.1"), std::regex(R"(\\-)"), "-");
    std::string completion = SourceText("tools/pack/quorvel-pack.bash-completion");
    ASSERT_FALSE(manual.empty());
    ASSERT_FALSE(completion.empty());
    for (const std::string& word : words) {
        std::regex whole("(^|[^a-z-])" + word + "($|[^a-z-])");
        EXPECT_TRUE(std::regex_search(manual, whole)) << word << " is not in quorvel-pack.1";
        EXPECT_TRUE(std::regex_search(completion, whole)) << word << " is not in the bash completion";
    }
}
