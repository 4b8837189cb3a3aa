#include "app/PlayerApp.h"

#include "app/OpenedFile.h"
#include "app/PackagePassword.h"
#include "app/Workspace.h"
#include "movie/MovieName.h"
#include "platform/ErrorCodes.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"
#include "platform/FormatMessage.h"
#include "platform/HostPath.h"
#include "platform/LastError.h"
#include "platform/MbString.h"
#include "platform/MessageBox.h"
#include "platform/Timeline.h"
#include "res/ResourceIds.h"
#include "zip/ZipException.h"
#include "zip/ZipMemoryBlock.h"
#include "zip/ZipReader.h"

#include <algorithm>
#include <cerrno>
#include <memory>

using namespace platform;

namespace {

constexpr unsigned ExtractionBufferSize = 65536;

// The system's text for a failed call, as the user is shown it.
CString SystemText(DWORD code)
{
    char* text = nullptr;
    FormatMessage(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, MakeLangId(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
    CString result = text ? text : "";
    LocalFree(text);
    return result;
}

// The package's bytes as the archive reader reads them, each read counted
// towards the progress the user is shown.
class CProgressMemoryBlock final : public CZipMemoryBlock {
public:
    explicit CProgressMemoryBlock(IUnpackProgress& progress)
        : m_progress(progress)
    {
    }
    void StartCounting() { m_bCounting = true; }
    UINT Read(void* buffer, UINT count) override
    {
        UINT done = CZipMemoryBlock::Read(buffer, count);
        if (m_bCounting) {
            m_nDone += done;
            m_progress.Advance(m_nDone);
        }
        return done;
    }

private:
    IUnpackProgress& m_progress;
    uint64_t m_nDone { 0 };
    bool m_bCounting { false };
};

} // namespace

CPlayerApp::CPlayerApp()
    : CWinApp(nullptr)
{
}

void CPlayerApp::SetControlInstaller(IControlInstaller* installer)
{
    m_pInstaller = installer ? installer : &s_nullInstaller;
}

void CPlayerApp::SetPlayerRunner(IPlayerRunner* runner)
{
    m_pRunner = runner ? runner : &s_nullRunner;
}

void CPlayerApp::SetUnpackProgress(IUnpackProgress* progress)
{
    m_pProgress = progress ? progress : &s_nullProgress;
}

void CPlayerApp::SetWorkspaceGuard(IWorkspaceGuard* guard)
{
    m_pGuard = guard ? guard : &s_nullGuard;
}

void CPlayerApp::SetOpenedFile(const COpenedFile* file)
{
    m_pOpened = file;
    m_strSavedDataId = file ? CString(file->SavedDataId()) : CString();
}

void CPlayerApp::RequestStop(int signal)
{
    if (!m_nStopSignal)
        m_nStopSignal = signal;
    m_pRunner->StopPlayer();
}

CString CPlayerApp::AboutOpenedFile(const CString& text) const
{
    return m_pOpened ? m_pOpened->Path() + ": " + text : text;
}

void CPlayerApp::ReportFailure(const CString& text)
{
    m_pProgress->End();
    if (m_pFailureReporter)
        m_pFailureReporter->Report(text);
    else
        AfxMessageBox(text.c_str(), MB_OK, 0);
    SetExitCode(ExitPackageUnusable);
}

BOOL CPlayerApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    // Without the libraries the control needs, the window could only stay
    // blank: the user has been told what is missing.
    if (!m_pInstaller->EnsureFlashControl()) {
        SetExitCode(ExitEngineMissing);
        // Nothing is unpacked; what a lost run left is emptied all the same.
        if (CString base = FormWorkspacePath(); !base.empty())
            SweepStaleWorkspaces(base, {});
        return FALSE;
    }
    TimelineMark("control checked");

    if (StopRequested())
        return FALSE;

    m_strWorkspaceBase = FormWorkspacePath();
    m_strWorkspace = m_strWorkspaceBase;
    // Without a private temporary folder there is nowhere safe to unpack.
    if (m_strWorkspace.empty()) {
        ReportFailure(SystemText(GetLastError()));
        return FALSE;
    }
    // A workspace of this run's own, locked for the whole run. The usual
    // name may be taken by a link to some other folder or by a file:
    // unpacking there, and emptying it at exit, would touch files that are
    // not the workspace's, so it is refused.
    CString claimed = ClaimWorkspace(m_strWorkspaceBase, m_workspaceLock);
    if (claimed.empty()) {
        DWORD code = GetLastError();
        if (code == ERROR_ACCESS_DENIED)
            ReportFailure(m_strWorkspace + ": " + SystemText(ERROR_ACCESS_DENIED));
        else
            ReportFailure(SystemText(code));
        return FALSE;
    }
    m_strWorkspace = claimed;
    // What killed runs left behind, in workspaces nobody holds any more.
    SweepStaleWorkspaces(m_strWorkspaceBase, m_strWorkspace);
    // Before a decrypted byte is written: whatever ends this run, the guard
    // empties the workspace.
    m_pGuard->Watch(m_strWorkspace, m_strWorkspaceBase);

    HRSRC resource = nullptr;
    if (!m_pOpened) {
        resource = FindResource(m_hResourceModule, MAKEINTRESOURCE(IDR_PACKAGE), RT_PACKAGE);
        if (!resource) {
            ReportFailure(SystemText(GetLastError()));
            return FALSE;
        }
        TimelineMark("package found");
    }

    // Unpacking anywhere but the workspace would scatter the package over
    // whatever folder we were started in.
    if (!SetCurrentDirectory(m_strWorkspace.c_str())) {
        ReportFailure(SystemText(GetLastError()));
        return FALSE;
    }

    BOOL unpacked = FALSE;
    if (m_pOpened) {
        unpacked = FillFromOpenedFile();
    } else {
        HGLOBAL loaded = LoadResource(m_hResourceModule, resource);
        auto* bytes = static_cast<const BYTE*>(LockResource(loaded));
        DWORD size = SizeofResource(m_hResourceModule, resource);
        unpacked = UnpackPackage(bytes, size);
        // Everything the player needs is in the workspace now: the package's
        // pages of the executable are of no more use in memory.
        DiscardResourcePages(m_hResourceModule, resource);
    }
    TimelineMark("unpacked");
    if (!unpacked || StopRequested()) {
        m_pProgress->End();
        return FALSE;
    }

    m_pRunner->RunPlayer(*this);
    m_pProgress->End();
    return FALSE;
}

// Unpacks every file of the package into the current folder and lists the
// movies. False when the player should not run: fewer than `minFiles` files
// (an opened file's run tells the user), or a package that could not be read
// (the user has been told).
BOOL CPlayerApp::UnpackPackage(const BYTE* bytes, DWORD size, int minFiles)
{
    CProgressMemoryBlock block(*m_pProgress);
    block.Attach(bytes, size);
    auto zip = std::make_unique<CZipReader>();
    try {
        zip->Open(block);
        zip->SetPassword(PackagePassword);

        int count = zip->GetEntryCount();
        int files = 0;
        for (int i = 0; i < count; ++i) {
            if (!zip->GetEntryHeader(i)->IsDirectory())
                ++files;
        }
        if (files < minFiles) {
            zip->Close();
            if (m_pOpened)
                ReportFailure(m_pOpened->Path() + ": no movie to play in the package");
            return FALSE;
        }

        // The bytes to do: what each file's data takes in the package.
        uint64_t total = 0;
        for (int i = 0; i < count; ++i) {
            const auto* header = zip->GetEntryHeader(i);
            if (!header->IsDirectory())
                total += header->compressedSize;
        }
        // What is unpacked: this player, or the file it was given.
        std::string name = program_invocation_short_name;
        if (m_pOpened) {
            name = m_pOpened->Path();
            if (size_t slash = name.find_last_of('/'); slash != std::string::npos && slash + 1 < name.size())
                name = name.substr(slash + 1);
        }
        m_pProgress->Begin(name, total);
        block.StartCounting();

        // Every entry is visited, folders included: a package that holds
        // folder entries still has all its files unpacked.
        for (int k = 0; k < count; ++k) {
            if (StopRequested()) {
                zip->Close(CZipReader::closeAfterException);
                return FALSE;
            }
            CZipEntryHeader header;
            zip->CopyEntryInfo(header, WORD(k));
            if (!header.IsDirectory())
                ListIfMovie(header.GetFileName());
            zip->ExtractEntry(k, "", false, nullptr, ExtractionBufferSize);
        }
        zip->Close();
    } catch (const CZipException& e) {
        zip->Close(CZipReader::closeAfterException);
        ReportFailure(AboutOpenedFile(DescribeCause(e.cause, false)));
        return FALSE;
    } catch (const CFileException& e) {
        zip->Close(CZipReader::closeAfterException);
        ReportFailure(AboutOpenedFile(e.what()));
        return FALSE;
    }
    return TRUE;
}

// Puts the opened file's package or files into the workspace (the current
// folder) and lists the movies; a package without settings gets a
// package.ini whose main movie is the first movie unpacked. False when the
// player should not run (the user has been told).
BOOL CPlayerApp::FillFromOpenedFile()
{
    const COpenedFile& file = *m_pOpened;
    std::string host = ToHostPath(m_strWorkspace.c_str()).value_or(m_strWorkspace);
    std::string error;
    if (file.GetKind() == COpenedFile::Kind::Package) {
        BOOL unpacked = UnpackPackage(file.Data(), file.Size(), file.NeedsSettings() ? 1 : 2);
        // The archive is in the workspace now: its pages of FILE are of no
        // more use in memory.
        file.DiscardPages();
        if (!unpacked || !file.NeedsSettings())
            return unpacked;
        if (m_arrMovies.empty()) {
            ReportFailure(file.Path() + ": no movie (*.swf) in the package");
            return FALSE;
        }
        if (!COpenedFile::WriteSettings(
                host, COpenedFile::MakeSettings(m_arrMovies.front(), file.SavedDataId()), error)) {
            ReportFailure(error);
            return FALSE;
        }
        return TRUE;
    }
    if (!file.CopyInto(host, error)) {
        ReportFailure(error);
        return FALSE;
    }
    for (const auto& copied : file.Files())
        ListIfMovie(copied.name);
    return TRUE;
}

// Lists a movie under the name it has in the workspace: extraction drops
// the stored folders ("levels\\one.swf" is unpacked as "one.swf"), so that
// is the name the player can load.
void CPlayerApp::ListIfMovie(const CString& name)
{
    if (!IsMovieName(name))
        return;
    size_t separator = name.find_last_of("\\/");
    CString title = separator == CString::npos ? name : name.substr(separator + 1);
    if (!title.empty())
        m_arrMovies.push_back(title);
}

void CPlayerApp::ReleaseWorkspace()
{
    // Only a workspace this run holds is emptied: any other is somebody's.
    if (!m_workspaceLock.IsHeld())
        return;
    DeleteFolderContents(m_strWorkspace);
    if (m_strWorkspace != m_strWorkspaceBase)
        RemoveDirectory(m_strWorkspace.c_str());
    m_workspaceLock.Release();
}

int CPlayerApp::ExitInstance()
{
    ReleaseWorkspace();
    int result = CWinApp::ExitInstance();
    return m_nStopSignal ? ExitSignalBase + m_nStopSignal : result;
}
