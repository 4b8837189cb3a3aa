#include "app/PackageSettings.h"

#include "platform/MbString.h"
#include "platform/ProfileString.h"

using namespace platform;

CString ReadIniString(CString section, CString key, CString defaultValue, CString path)
{
    char buffer[300] = {};
    GetPrivateProfileString(
        section.c_str(), key.c_str(), defaultValue.c_str(), buffer, sizeof buffer, path.c_str());
    return CString(buffer);
}

CPackageSettings CPackageSettings::Read(const CString& workspace)
{
    CPackageSettings settings;
    CString fullScreen = ReadIniString("SETTINGS", "fullscreen", "false", workspace + "\\package.ini");
    settings.m_bFullScreen = _mbsicmp(fullScreen.c_str(), "true") == 0;
    settings.m_strMainMovie = ReadIniString("SETTINGS", "mainmovie", "", workspace + "\\package.ini");
    CString type = ReadIniString("SETTINGS", "type", "resource", workspace + "\\package.ini");
    settings.m_bPlayAll = _mbsicmp(type.c_str(), "resource") != 0;
    settings.m_strId = ReadIniString("SETTINGS", "id", "", workspace + "\\package.ini");
    return settings;
}
