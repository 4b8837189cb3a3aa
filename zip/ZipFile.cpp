#include "zip/ZipFile.h"

CZipFile::CZipFile(LPCSTR path, UINT openFlags)
    : CFile(path, openFlags)
{
}

bool CZipFile::Open(LPCSTR name, UINT openFlags, bool throwOnError)
{
    CFileException error(CFileException::none, -1);
    if (CFile::Open(name, openFlags, &error))
        return true;
    if (throwOnError)
        throw error;
    return false;
}

void CZipFile::Close()
{
    if (!IsClosed())
        CFile::Close();
}

CString CZipFile::GetFilePath() const
{
    try {
        return CFile::GetFilePath();
    } catch (const CException&) {
        return m_strFileName;
    }
}
