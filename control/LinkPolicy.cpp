#include "control/LinkPolicy.h"

#include "control/PackageFiles.h"
#include "control/PercentEncoding.h"

#include <algorithm>
#include <cctype>
#include <unistd.h>

namespace {

std::string SchemeOf(std::string_view url)
{
    size_t colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return {};
    std::string scheme(url.substr(0, colon));
    bool valid = std::isalpha(static_cast<unsigned char>(scheme[0]))
        && std::all_of(scheme.begin(), scheme.end(),
            [](unsigned char c) { return std::isalnum(c) || c == '+' || c == '-' || c == '.'; });
    if (!valid)
        return {};
    std::transform(
        scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
    return scheme;
}

std::string FileUri(const std::string& path)
{
    return "file://" + PercentEncode(path, [](unsigned char c) {
        return std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
    });
}

} // namespace

LinkDecision DecideLink(std::string_view url, const std::string& packageFolder)
{
    if (url.starts_with(WrappedLinkPrefix))
        url.remove_prefix(WrappedLinkPrefix.size());
    std::string scheme = SchemeOf(url);
    if (scheme == "http" || scheme == "https" || scheme == "mailto")
        return { LinkDecision::Kind::Desktop, std::string(url), std::string(url) };
    if (url.starts_with(PackageBase)) {
        // The page resolved the movie's relative link under the package's URL.
        std::string written = *PercentDecode(url.substr(PackageBase.size()), false);
        std::optional<std::string> name = PackageFileName(url.substr(PackageBase.size()));
        if (!name)
            return { LinkDecision::Kind::Refused, "not a file of the package: " + std::string(url), written };
        std::optional<PackageFile> file = OpenPackageFile(packageFolder, *name);
        if (!file)
            return { LinkDecision::Kind::Refused, "no such file in the package: " + *name, written };
        close(file->fd);
        return { LinkDecision::Kind::Desktop, FileUri(packageFolder + "/" + file->name), written };
    }
    return { LinkDecision::Kind::Refused,
        "links of this kind are not opened: " + std::string(url.substr(0, 200)), std::string(url) };
}
