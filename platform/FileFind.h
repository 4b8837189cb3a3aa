#pragma once

#include "platform/Types.h"

#include <vector>

// Lists the items of one folder that match a "*.*"-style pattern. A symbolic
// link is reported as what it is (never as a folder), so that nobody walks
// through it.
class CFileFind {
public:
    CFileFind() = default;
    ~CFileFind() = default;

    // Starts a search on "folder\\*.*" (or "folder/*"); false when the folder
    // cannot be read or nothing matches.
    BOOL FindFile(LPCSTR pattern = nullptr);
    // Moves to the next item; false when the item it moved to is the last.
    BOOL FindNextFile();
    void Close();

    CString GetFileName() const;
    CString GetFilePath() const;
    BOOL IsDots() const;
    BOOL IsDirectory() const;

private:
    struct Item {
        CString name;
        bool directory;
    };

    CString m_strRoot {};
    std::vector<Item> m_items {};
    size_t m_nNext { 0 };
    const Item* m_pCurrent { nullptr };
};
