#pragma once

#include "platform/Types.h"

// A path taken apart into prefix, drive, folders, title and extension.
class CZipPath {
public:
    CZipPath() = default;
    explicit CZipPath(const CString& path) { Split(path); }
    virtual ~CZipPath() = default;

    void Split(const CString& path);

    CString FolderPart() const;
    CString NamePart() const;
    CString WithoutDrive() const;
    CString DrivePart() const { return drive; }
    CString Joined() const;

    CString directory {};
    CString title {};
    CString extension {};
    CString drive {};
    CString prefix {};
};
