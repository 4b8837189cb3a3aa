#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The files of the package, as the engine asks for them.
//
// A movie is loaded from a URL under PackageBase, so the engine resolves the
// names a movie uses (siblings it loads, texts and data it reads, pages it
// links to) against it. The player drops stored folders when it unpacks, so
// a request is answered with the workspace file of the request's last name:
// "chapters/c1.swf" is the workspace's "c1.swf", and no request can name a
// file outside the workspace ("../../etc/passwd" is its "passwd").

inline constexpr std::string_view PackageBase = "quorvel-control://package/";

// The last name of a request's path: percent escapes decoded, the query and
// the fragment dropped, "/" and "\" both separators. Nothing for a path that
// ends in a separator, or whose last name is "." or "..", or that holds a NUL.
std::optional<std::string> PackageFileName(std::string_view path);

// The URL that names the file `name` of the package (escaped as a URL path).
std::string PackageUrl(std::string_view name);

// An open regular file of the workspace.
struct PackageFile {
    int fd { -1 };
    std::uint64_t size { 0 };
    std::string name {}; // as the workspace spells it
};

// Opens the regular file `name` of `folder` for reading, without following a
// symbolic link. When no file has exactly that name, a file whose name
// differs only in the case of ASCII letters is taken (movies made on systems
// whose names ignore case ask for "Data.TXT" and mean "data.txt"). Nothing
// for a missing name, a folder, a link or anything else but a regular file.
std::optional<PackageFile> OpenPackageFile(const std::string& folder, const std::string& name);

// The content type for a file name, from its extension; application/octet-stream
// for any other.
std::string_view ContentTypeFor(std::string_view name);
