#include "platform/FileFind.h"

#include "platform/ErrorCodes.h"
#include "platform/HostPath.h"
#include "platform/LastError.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

using namespace platform;

BOOL CFileFind::FindFile(LPCSTR pattern)
{
    Close();
    CString full = pattern ? pattern : "*.*";
    size_t separator = full.find_last_of("\\/");
    m_strRoot = separator == CString::npos ? CString() : full.substr(0, separator);
    CString mask = separator == CString::npos ? full : full.substr(separator + 1);
    // "*.*" matches every name, with a dot or without, as it always has.
    if (mask == "*.*")
        mask = "*";

    auto host = ToHostPath(m_strRoot.empty() ? "." : m_strRoot.c_str());
    if (!host)
        return FALSE;
    DIR* folder = ::opendir(host->c_str());
    if (!folder) {
        SetLastErrorFromErrno(errno, host->c_str());
        return FALSE;
    }
    while (dirent* entry = ::readdir(folder)) {
        CString name = entry->d_name;
        if (::fnmatch(mask.c_str(), name.c_str(), 0) != 0)
            continue;
        struct stat st { };
        bool directory
            = ::fstatat(::dirfd(folder), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        m_items.push_back({ name, directory });
    }
    ::closedir(folder);
    if (m_items.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

BOOL CFileFind::FindNextFile()
{
    if (m_nNext >= m_items.size())
        return FALSE;
    m_pCurrent = &m_items[m_nNext++];
    return m_nNext < m_items.size();
}

void CFileFind::Close()
{
    m_items.clear();
    m_nNext = 0;
    m_pCurrent = nullptr;
}

CString CFileFind::GetFileName() const
{
    return m_pCurrent ? m_pCurrent->name : CString();
}

CString CFileFind::GetFilePath() const
{
    if (!m_pCurrent)
        return {};
    return m_strRoot.empty() ? m_pCurrent->name : m_strRoot + "\\" + m_pCurrent->name;
}

BOOL CFileFind::IsDots() const
{
    return m_pCurrent && (m_pCurrent->name == "." || m_pCurrent->name == "..");
}

BOOL CFileFind::IsDirectory() const
{
    return m_pCurrent && m_pCurrent->directory;
}
