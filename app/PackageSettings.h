#pragma once

#include "platform/Types.h"

// The one reader of package.ini: the value of `key` in `section`, or
// `defaultValue` when the file, section or key is missing. At most 299
// characters.
CString ReadIniString(CString section, CString key, CString defaultValue, CString path);

// The settings the player starts with.
struct CPackageSettings {
    BOOL m_bFullScreen { FALSE };
    CString m_strMainMovie {};
    BOOL m_bPlayAll { FALSE };
    // The package's identity, empty when it has none (see app/SavedData.h).
    CString m_strId {};

    // Reads "fullscreen", "mainmovie", "type" and "id" of section
    // "SETTINGS" from `workspace`\package.ini, in that order.
    static CPackageSettings Read(const CString& workspace);
};
