// How the control answers the engine's requests for files of the package,
// and what it does with the links a movie opens.

#include "control/LinkPolicy.h"
#include "control/PackageFiles.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadAll(const PackageFile& file)
{
    std::string text(file.size, '\0');
    EXPECT_EQ(pread(file.fd, text.data(), text.size(), 0), ssize_t(text.size()));
    close(file.fd);
    return text;
}

} // namespace

TEST(PackageFiles, TheLastNameOfARequestNamesTheFile)
{
    EXPECT_EQ(PackageFileName("part2.swf"), "part2.swf");
    // Stored folders are dropped when the package is unpacked, and neither
    // kind of separator can reach out of the workspace.
    EXPECT_EQ(PackageFileName("chapters/c1.swf"), "c1.swf");
    EXPECT_EQ(PackageFileName("chapters\\c1.swf"), "c1.swf");
    EXPECT_EQ(PackageFileName("chapters%5Cc1.swf"), "c1.swf");
    EXPECT_EQ(PackageFileName("../../etc/passwd"), "passwd");
    EXPECT_EQ(PackageFileName("..%2F..%2Fetc%2Fpasswd"), "passwd");
    // Queries and fragments do not take part.
    EXPECT_EQ(PackageFileName("data.txt?nocache=1"), "data.txt");
    EXPECT_EQ(PackageFileName("data.txt#top"), "data.txt");
    EXPECT_EQ(PackageFileName("a%20b%E4%B8%AD.txt"), "a b\xE4\xB8\xAD.txt");
    // A stray percent sign is kept as it is.
    EXPECT_EQ(PackageFileName("100%.txt"), "100%.txt");
    for (const char* nothing : { "", "chapters/", "..", "a/..", ".", "%2E%2E", "a%00b", "?x=1" })
        EXPECT_FALSE(PackageFileName(nothing)) << nothing;
}

TEST(PackageFiles, UrlsNameFilesTheLookupFindsAgain)
{
    for (const char* name : { "shell.swf", "a b.swf", "中文.swf", "100%.swf", "x?y#z.swf" }) {
        std::string url = PackageUrl(name);
        ASSERT_TRUE(url.starts_with(PackageBase)) << url;
        EXPECT_EQ(PackageFileName(url.substr(PackageBase.size())), name) << url;
    }
}

TEST(PackageFiles, OnlyRegularFilesOfTheFolderOpen)
{
    ScratchFolder scratch;
    WriteFile(scratch / "data.txt", "colour=green");
    WriteFile(scratch / "Mixed.XML", "<d/>");
    mkdir((scratch / "folder").c_str(), 0700);
    WriteFile(scratch / "outside", "secret");
    symlink((scratch / "outside").c_str(), (scratch / "link.txt").c_str());
    mkfifo((scratch / "pipe").c_str(), 0600);
    std::string folder = scratch.path().string();

    auto data = OpenPackageFile(folder, "data.txt");
    ASSERT_TRUE(data);
    EXPECT_EQ(data->size, 12u);
    EXPECT_EQ(ReadAll(*data), "colour=green");

    // A name that differs in letter case only finds the file, as it would
    // where the movie was made.
    auto mixed = OpenPackageFile(folder, "mixed.xml");
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->name, "Mixed.XML");
    ReadAll(*mixed);

    for (const char* refused : { "link.txt", "folder", "pipe", "missing.swf", "", ".", "..", "../outside" })
        EXPECT_FALSE(OpenPackageFile(folder, refused)) << refused;
}

TEST(PackageFiles, ContentTypesFollowTheExtension)
{
    EXPECT_EQ(ContentTypeFor("a.swf"), "application/x-shockwave-flash");
    EXPECT_EQ(ContentTypeFor("A.XML"), "text/xml");
    EXPECT_EQ(ContentTypeFor("data.txt"), "text/plain");
    EXPECT_EQ(ContentTypeFor("song.mp3"), "audio/mpeg");
    EXPECT_EQ(ContentTypeFor("clip.flv"), "video/x-flv");
    EXPECT_EQ(ContentTypeFor("archive.tar.gz"), "application/octet-stream");
    EXPECT_EQ(ContentTypeFor("README"), "application/octet-stream");
}

TEST(LinkPolicy, WebAndMailGoToTheDesktopAndPackageFilesAsFiles)
{
    ScratchFolder scratch;
    WriteFile(scratch / "help page.html", "<p>help</p>");
    std::string folder = scratch.path().string();

    for (const char* url :
        { "http://example.org/", "HTTPS://example.org/a?b", "mailto:someone@example.org" }) {
        LinkDecision decision = DecideLink(url, folder);
        EXPECT_EQ(decision.kind, LinkDecision::Kind::Desktop) << url;
        EXPECT_EQ(decision.target, url);
    }
    // The page wraps other schemes so that their navigations reach the control.
    LinkDecision mail = DecideLink("quorvel-link:mailto:someone@example.org", folder);
    EXPECT_EQ(mail.kind, LinkDecision::Kind::Desktop);
    EXPECT_EQ(mail.target, "mailto:someone@example.org");
    // What the user is told names the link as the movie wrote it.
    EXPECT_EQ(mail.link, "mailto:someone@example.org");

    LinkDecision help = DecideLink(std::string(PackageBase) + "docs/help%20page.html?x=1", folder);
    EXPECT_EQ(help.kind, LinkDecision::Kind::Desktop);
    EXPECT_EQ(help.target, "file://" + folder + "/help%20page.html");
    EXPECT_EQ(help.link, "docs/help page.html?x=1");

    EXPECT_EQ(
        DecideLink(std::string(PackageBase) + "missing.html", folder).kind, LinkDecision::Kind::Refused);
}

TEST(LinkPolicy, EveryOtherSchemeIsRefused)
{
    for (const char* url : { "javascript:alert(1)", "quorvel-link:javascript:alert(1)", "file:///etc/passwd",
             "data:text/html,hi", "quorvel-control://engine/index.html", "ftp://example.org/", "no scheme",
             "" }) {
        LinkDecision decision = DecideLink(url, "/nonexistent");
        EXPECT_EQ(decision.kind, LinkDecision::Kind::Refused) << url;
        EXPECT_FALSE(decision.target.empty());
    }
}
