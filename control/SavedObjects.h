#pragma once

#include <map>
#include <string>

// What movies save across runs (the engine's local shared objects), kept
// in one file of a folder that belongs to one package.
//
// The file, "local-storage.txt", is UTF-8 text: the line "quorvel saved
// data 1", then one line per item, its key, one space and its value, each
// with "%", space, CR, LF and other control characters written as %XX.
// Every change rewrites the file under a temporary name and renames it over
// the old one, so a run that ends at any moment leaves either the old or the
// new file. A file that cannot be read as such is left where it is and the
// store starts empty; it is replaced at the first change.
class CSavedObjects {
public:
    // Reads the store of `folder` (which may not exist yet); an empty
    // folder name keeps nothing across runs.
    void Open(const std::string& folder);

    const std::map<std::string, std::string>& Items() const { return m_items; }
    void Set(const std::string& key, const std::string& value);
    void Remove(const std::string& key);
    void Clear();

    // False when the last change could not be written (the folder or the
    // file could not be made); the items are kept for the run all the same.
    bool LastWriteSucceeded() const { return m_bWritten; }

    static std::string FileName() { return "local-storage.txt"; }

private:
    void Write();

    std::string m_strFolder {};
    std::map<std::string, std::string> m_items {};
    bool m_bWritten { true };
};
