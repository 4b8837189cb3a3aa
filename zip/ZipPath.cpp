#include "zip/ZipPath.h"

#include <algorithm>
#include <cctype>

namespace {

void TrimBackslashes(CString& text)
{
    size_t first = text.find_first_not_of('\\');
    if (first == CString::npos) {
        text.clear();
        return;
    }
    size_t last = text.find_last_not_of('\\');
    text = text.substr(first, last - first + 1);
}

// How many leading characters of `path` match "\\?\unc\" without regard to
// case, up to the first difference.
size_t MatchPrefix(const CString& path)
{
    static constexpr char s_literal[] = "\\\\?\\unc\\";
    size_t n = std::min<size_t>(8, path.size());
    size_t matched = 0;
    while (matched < n && std::tolower(static_cast<unsigned char>(path[matched])) == s_literal[matched])
        ++matched;
    return matched;
}

// The pieces of the C library's _splitpath, each cut to its buffer: a drive
// of 2 characters, the others of 255.
void SplitLikeRuntime(const CString& path, CString& drive, CString& folder, CString& name, CString& ext)
{
    constexpr size_t MaxPiece = 255;
    size_t start = 0;
    if (path.size() >= 2 && path[1] == ':') {
        drive = path.substr(0, 2);
        start = 2;
    }
    size_t lastSeparator = path.find_last_of("\\/");
    size_t nameStart = start;
    if (lastSeparator != CString::npos && lastSeparator >= start) {
        folder = path.substr(start, lastSeparator + 1 - start);
        nameStart = lastSeparator + 1;
    }
    size_t dot = path.find_last_of('.');
    if (dot != CString::npos && dot >= nameStart) {
        name = path.substr(nameStart, dot - nameStart);
        ext = path.substr(dot);
    } else {
        name = path.substr(nameStart);
    }
    folder.resize(std::min(folder.size(), MaxPiece));
    name.resize(std::min(name.size(), MaxPiece));
    ext.resize(std::min(ext.size(), MaxPiece));
}

} // namespace

void CZipPath::Split(const CString& path)
{
    size_t matched = MatchPrefix(path);
    size_t prefixLength = (matched == 2 || matched == 4 || matched == 8) ? matched : 0;
    prefix = path.substr(0, prefixLength);

    CString folder, ext;
    drive.clear();
    title.clear();
    SplitLikeRuntime(path.substr(prefixLength), drive, folder, title, ext);
    TrimBackslashes(folder);
    directory = folder;
    size_t firstNonDot = ext.find_first_not_of('.');
    extension = firstNonDot == CString::npos ? CString() : ext.substr(firstNonDot);
}

CString CZipPath::FolderPart() const
{
    CString result = prefix + drive;
    if (!drive.empty() && !directory.empty())
        result += '\\';
    return result + directory;
}

CString CZipPath::NamePart() const
{
    return extension.empty() ? title : title + "." + extension;
}

CString CZipPath::WithoutDrive() const
{
    CString name = NamePart();
    CString result = directory;
    if (!directory.empty() && !name.empty())
        result += '\\';
    return result + name;
}

CString CZipPath::Joined() const
{
    CString name = NamePart();
    CString result = FolderPart();
    if (!name.empty())
        result += "\\" + name;
    return result;
}
