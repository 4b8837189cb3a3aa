#pragma once

#include "platform/MappedFile.h"
#include "platform/Types.h"

#include <cstdint>
#include <string>
#include <vector>

// What `quorvel FILE` plays, as a package: FILE is only ever read.
//
//   - a ZIP package, a Quorvel player or a Windows player (its ZIP/129
//     resource, never run): the archive is read in place from a read-only
//     map of FILE, never copied;
//   - a movie (a name ending in "swf" or a movie's signature FWS, CWS or
//     ZWS): the movie and, as its siblings, its folder's plain files within
//     the bounds below, with a package.ini made for it;
//   - a folder: its plain files within the same bounds; its own package.ini
//     when it has one, else one whose main movie is the first movie by name
//     in byte order, as quorvel-pack build makes it.
//
// The bounds of a folder's files: regular files only (no links, no
// subfolders, no names starting with "." or holding "\\" or a control
// character), the main movie and package.ini always, the others by name in
// byte order while they total at most MaxSiblingBytes and number at most
// MaxSiblingFiles; the rest are left out.
class COpenedFile {
public:
    enum class Kind { Package, Files };

    static constexpr std::uint64_t MaxSiblingBytes = 64u << 20;
    static constexpr std::size_t MaxSiblingFiles = 256;

    // False, with the words for the user in `error` ("FILE: why"), when
    // FILE is none of the above or cannot be read.
    bool Open(const std::string& path, std::string& error);

    Kind GetKind() const { return m_kind; }
    // FILE as it was given, for messages.
    const std::string& Path() const { return m_strPath; }

    // A package: the archive's bytes, mapped from FILE.
    const BYTE* Data() const { return m_pData; }
    DWORD Size() const { return m_nSize; }
    // Gives the archive's pages back to the system once it is unpacked.
    void DiscardPages() const;
    // Whether the archive has no package.ini: the run makes one, with the
    // first movie it unpacks as the main movie.
    bool NeedsSettings() const { return m_bNeedsSettings; }

    // Files: what goes into the workspace, by name in byte order, and the
    // package.ini to write there (empty: the folder's own is among them).
    struct File {
        std::string name {};
        std::string hostPath {};
        std::uint64_t size { 0 };
    };
    const std::vector<File>& Files() const { return m_files; }
    const std::string& SettingsText() const { return m_strSettings; }
    // Copies the files into the host folder `workspace` (and writes the
    // settings). False with the reason in `error`.
    bool CopyInto(const std::string& workspace, std::string& error) const;

    // The id the package's saved data is kept under: its own id when it has
    // a valid one, else "swf-" or "pkg-" and 16 hex digits of a 64-bit hash
    // of the main movie's or the archive's bytes.
    const std::string& SavedDataId() const { return m_strId; }

    // The settings text a run writes for a package without one, and its
    // writing as package.ini into the host folder `workspace`.
    static std::string MakeSettings(const std::string& mainMovie, const std::string& id);
    static bool WriteSettings(const std::string& workspace, const std::string& text, std::string& error);

private:
    bool OpenPackage(std::string& error);
    bool OpenFolder(const std::string& folder, const std::string& movie, std::string& error);

    Kind m_kind { Kind::Package };
    std::string m_strPath {};
    // The same from the root.
    std::string m_strHostPath {};
    CMappedFile m_file {};
    const BYTE* m_pData { nullptr };
    DWORD m_nSize { 0 };
    bool m_bNeedsSettings { false };
    std::vector<File> m_files {};
    std::string m_strSettings {};
    std::string m_strId {};
};

// 16 lower-case hex digits of the 64-bit FNV-1a hash of `bytes`, behind `prefix`.
std::string ContentId(const char* prefix, const BYTE* bytes, std::size_t size);
