#include "zip/ZipFileInterface.h"

bool CZipFileInterface::Open(LPCSTR, UINT, bool)
{
    return true;
}
