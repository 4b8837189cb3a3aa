#include "platform/ErrorCodes.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/FormatMessage.h"
#include "platform/LastError.h"
#include "support/Command.h"
#include "support/ScratchFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace platform;

namespace {

mode_t ModeOf(const std::string& path)
{
    struct stat st { };
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : mode_t(-1);
}

std::string Text(const std::string& s)
{
    return s + "\r\n";
}

std::vector<unsigned char> AsBytes(const std::string& s)
{
    return { s.begin(), s.end() };
}

class FileLayer : public ::testing::Test {
protected:
    std::string In(const std::string& name) const { return scratch / name; }
    ScratchFolder scratch;
};

TEST_F(FileLayer, ErrnoBecomesAWindowsCode)
{
    EXPECT_EQ(ErrorFromErrno(ENOENT), 2u);
    EXPECT_EQ(ErrorFromErrno(ENOENT, In("missing").c_str()), 2u);
    EXPECT_EQ(ErrorFromErrno(ENOENT, In("no\\such\\file").c_str()), 3u);
    EXPECT_EQ(ErrorFromErrno(EACCES), 5u);
    EXPECT_EQ(ErrorFromErrno(EPERM), 5u);
    EXPECT_EQ(ErrorFromErrno(EEXIST), 183u);
    EXPECT_EQ(ErrorFromErrno(ENOSPC), 112u);
    EXPECT_EQ(ErrorFromErrno(ENOTEMPTY), 145u);
    EXPECT_EQ(ErrorFromErrno(EMFILE), 4u);
    EXPECT_EQ(ErrorFromErrno(EROFS), 19u);
    EXPECT_EQ(ErrorFromErrno(EIO), 31u);
}

TEST_F(FileLayer, FailingCallsSetTheLastError)
{
    EXPECT_FALSE(DeleteFile(In("missing").c_str()));
    EXPECT_EQ(GetLastError(), 2u);
    EXPECT_FALSE(DeleteFile((In("none") + "\\missing").c_str()));
    EXPECT_EQ(GetLastError(), 3u);
    EXPECT_TRUE(CreateDirectory(In("d").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectory(In("d").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), 183u);
    WriteFileBytes(In("d/f"), { 'x' });
    EXPECT_FALSE(RemoveDirectory(In("d").c_str()));
    EXPECT_EQ(GetLastError(), 145u);
    for (const char* drivePath : { "C:\\temp", "c:relative", "Z:" }) {
        SetLastError(0);
        EXPECT_FALSE(CreateDirectory(drivePath, nullptr)) << drivePath;
        EXPECT_EQ(GetLastError(), 3u) << drivePath;
    }
    SetLastError(0);
    EXPECT_FALSE(SetFileAttributes("D:\\x", 0x20));
    EXPECT_EQ(GetLastError(), 3u);
    EXPECT_EQ(_access("C:\\", 0), -1);
    EXPECT_EQ(_chdir("C:\\"), -1);
}

TEST_F(FileLayer, SystemMessagesEndInALineBreak)
{
    char* text = nullptr;
    DWORD length = FormatMessage(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        2, MakeLangId(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text, length), Text("The system cannot find the file specified."));
    LocalFree(text);

    EXPECT_EQ(SystemMessageText(3), Text("The system cannot find the path specified."));
    EXPECT_EQ(SystemMessageText(5), Text("Access is denied."));
    EXPECT_EQ(SystemMessageText(183), Text("Cannot create a file when that file already exists."));
    EXPECT_EQ(
        SystemMessageText(1813), Text("The specified resource type cannot be found in the image file."));

    char small[8];
    EXPECT_EQ(FormatMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, 0, small, sizeof small, nullptr), 0u);
    char big[128];
    EXPECT_EQ(FormatMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 5, 0, big, sizeof big, nullptr), 19u);
    EXPECT_STREQ(big, "Access is denied.\r\n");
    EXPECT_EQ(FormatMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 4242, 0, big, sizeof big, nullptr), 0u);
    EXPECT_EQ(GetLastError(), 317u);
}

struct ModeCase {
    DWORD attributes;
    bool folder;
    mode_t before;
    mode_t after;
};

class AttributeModes : public FileLayer, public ::testing::WithParamInterface<ModeCase> { };

TEST_P(AttributeModes, FollowTheRules)
{
    const ModeCase& c = GetParam();
    std::string path = In("target");
    if (c.folder)
        fs::create_directory(path);
    else
        WriteFileBytes(path, { 'x' });
    ASSERT_EQ(::chmod(path.c_str(), c.before), 0);
    EXPECT_TRUE(SetFileAttributes(path.c_str(), c.attributes));
    EXPECT_EQ(ModeOf(path), c.after);
}

INSTANTIATE_TEST_SUITE_P(Table, AttributeModes,
    ::testing::Values(ModeCase { 0x81A40020, false, 0600, 0644 }, ModeCase { 0x81800020, false, 0644, 0600 },
        ModeCase { 0x8FFF0000, false, 0600, 0777 }, // no set-uid, set-gid or sticky
        ModeCase { 0x80000000, false, 0644, 0000 }, ModeCase { 0x21, false, 0666, 0444 },
        ModeCase { 0x20, false, 0444, 0644 }, ModeCase { 0x02, false, 0640, 0640 },
        ModeCase { 0x40000010, true, 0755, 0700 }, ModeCase { 0x41ED0010, true, 0700, 0755 },
        ModeCase { 0x43FF0010, true, 0700, 0777 }, ModeCase { 0x11, true, 0777, 0755 },
        ModeCase { 0x10, true, 0500, 0700 }));

TEST_F(FileLayer, LinksAreNeitherChangedNorFollowed)
{
    std::string target = In("target"), link = In("link");
    WriteFileBytes(target, { 'x' });
    ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
    fs::create_symlink(target, link);

    EXPECT_FALSE(SetFileAttributes(link.c_str(), 0x81FF0020));
    EXPECT_EQ(GetLastError(), 5u);
    EXPECT_EQ(ModeOf(target), 0644u);

    _utimbuf times { 1000000000, 1000000000 };
    EXPECT_EQ(_utime(link.c_str(), &times), 0);
    struct stat st { };
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1000000000);
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_NE(st.st_mtime, 1000000000);

    EXPECT_TRUE(DeleteFile(link.c_str()));
    EXPECT_TRUE(fs::exists(target));

    fs::create_directory(In("folder"));
    WriteFileBytes(In("folder/keep"), { 'k' });
    fs::create_directory_symlink(In("folder"), In("folder-link"));
    EXPECT_FALSE(RemoveDirectory(In("folder-link").c_str()));
    EXPECT_TRUE(fs::exists(In("folder/keep")));

    EXPECT_EQ(_access(target.c_str(), 0), 0);
    EXPECT_EQ(_access(In("missing").c_str(), 0), -1);
}

TEST_F(FileLayer, CFileReadsWritesAndSeeks)
{
    std::string path = In("f");
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite);
        file.Write("hello world", 11);
        EXPECT_EQ(file.GetPosition(), 11u);
        EXPECT_EQ(file.GetLength(), 11u);
        EXPECT_EQ(file.GetFilePath(), path);
    }
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead));
    char buffer[32] {};
    EXPECT_EQ(file.Seek(-5, CFile::end), 6u);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 5u);
    EXPECT_STREQ(buffer, "world");
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    file.Close();
    EXPECT_EQ(file.m_hFile, CFile::hFileNull);
    file.Close(); // closing twice is harmless

    CFile keep(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite);
    EXPECT_EQ(keep.GetLength(), 11u);
    keep.Close();
    CFile truncate(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(truncate.GetLength(), 0u);
}

// The error a CFile constructor throws for `path`, opened with `flags`.
CFileException OpenError(const std::string& path, UINT flags)
{
    try {
        CFile file(path.c_str(), flags);
    } catch (const CFileException& e) {
        return e;
    }
    return CFileException(CFileException::none, 0);
}

TEST_F(FileLayer, CFileOpenFailuresSayWhy)
{
    CFileException missing = OpenError(In("missing"), CFile::modeRead);
    EXPECT_EQ(missing.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(missing.m_lOsError, 2);
    EXPECT_EQ(missing.m_strFileName, In("missing"));
    EXPECT_EQ(std::string(missing.what()), In("missing") + ": The system cannot find the file specified.");

    CFileException noFolder = OpenError(In("none/f"), CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(noFolder.m_cause, CFileException::badPath);
    EXPECT_EQ(noFolder.m_lOsError, 3);

    EXPECT_EQ(OpenError("C:\\f.txt", CFile::modeRead).m_lOsError, 3);
    EXPECT_EQ(OpenError(scratch.path().string(), CFile::modeRead).m_cause, CFileException::accessDenied);

    CFile quiet;
    CFileException error;
    EXPECT_FALSE(quiet.Open(In("missing").c_str(), CFile::modeRead, &error));
    EXPECT_EQ(error.m_lOsError, 2);
    EXPECT_EQ(GetLastError(), 2u);
}

TEST_F(FileLayer, CFileNeverWritesThroughALink)
{
    std::string victim = In("victim");
    WriteFileBytes(victim, AsBytes("precious"));
    fs::create_symlink(victim, In("link"));
    CFileException error = OpenError(In("link"), CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(error.m_cause, CFileException::accessDenied);
    EXPECT_EQ(error.m_lOsError, 5);
    EXPECT_EQ(OpenError(In("link"), CFile::modeReadWrite).m_lOsError, 5);
    EXPECT_EQ(ReadFileBytes(victim), AsBytes("precious"));

    CFile reader; // reading through a link is fine
    EXPECT_TRUE(reader.Open(In("link").c_str(), CFile::modeRead));
}

// GetTempPath settles its folder once per process: each case runs in a child.
std::string TempPathInChild(const std::string& tmpdir)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "pipe failed";
    pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        ::setenv("TMPDIR", tmpdir.c_str(), 1);
        char buffer[4096];
        DWORD length = GetTempPath(sizeof buffer, buffer);
        if (length > 0 && length < sizeof buffer)
            (void)!::write(pipeFds[1], buffer, length);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string result;
    char chunk[256];
    for (ssize_t n; (n = ::read(pipeFds[0], chunk, sizeof chunk)) > 0;)
        result.append(chunk, size_t(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return result;
}

void ExpectPrivateFolder(const std::string& path)
{
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), '/');
    struct stat st { };
    ASSERT_EQ(::lstat(path.c_str(), &st), 0) << path;
    EXPECT_TRUE(S_ISDIR(st.st_mode)) << path;
    EXPECT_EQ(st.st_uid, ::getuid());
    EXPECT_EQ(st.st_mode & 0777, 0700u) << path;
}

TEST_F(FileLayer, TempPathIsAPrivateFolderOfTheUser)
{
    std::string usual = In("quorvel-" + std::to_string(::getuid()));
    std::string fresh = TempPathInChild(scratch.path().string() + "/");
    EXPECT_EQ(fresh, usual + "/");
    ExpectPrivateFolder(fresh);
    EXPECT_EQ(TempPathInChild(scratch.path().string()), usual + "/"); // and again
}

TEST_F(FileLayer, TempPathAvoidsFoldersOthersControl)
{
    std::string base = scratch.path().string();
    std::string usual = In("quorvel-" + std::to_string(::getuid()));

    fs::create_directory(In("elsewhere"));
    fs::create_directory_symlink(In("elsewhere"), usual);
    std::string avoidedLink = TempPathInChild(base);
    EXPECT_NE(avoidedLink, usual + "/");
    ExpectPrivateFolder(avoidedLink);
    fs::remove(usual);

    fs::create_directory(usual);
    ASSERT_EQ(::chmod(usual.c_str(), 0777), 0);
    std::string avoidedShared = TempPathInChild(base);
    EXPECT_NE(avoidedShared, usual + "/");
    ExpectPrivateFolder(avoidedShared);

    if (::geteuid() == 0) { // only root can hand a folder to somebody else
        ASSERT_EQ(::chmod(usual.c_str(), 0700), 0);
        ASSERT_EQ(::chown(usual.c_str(), 65534, 65534), 0);
        std::string avoidedForeign = TempPathInChild(base);
        EXPECT_NE(avoidedForeign, usual + "/");
        ExpectPrivateFolder(avoidedForeign);
    }
}

} // namespace
