#include "zip/ZipFile.h"

CZipFile::CZipFile(LPCSTR path, UINT openFlags)
    : CFile(path, openFlags)
{
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
