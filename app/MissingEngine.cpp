#include "app/MissingEngine.h"

#include <array>
#include <string_view>

namespace {

struct KnownLibrary {
    std::string_view soname;
    std::string_view what;
    std::string_view debian;
    std::string_view fedora;
};

constexpr std::string_view GstBase = "GStreamer's base libraries";

constexpr std::array<KnownLibrary, 13> Known = { {
    { "libwebkit2gtk-4.1.so.0", "WebKitGTK 4.1", "libwebkit2gtk-4.1-0", "webkit2gtk4.1" },
    { "libjavascriptcoregtk-4.1.so.0", "the JavaScriptCore of WebKitGTK 4.1", "libjavascriptcoregtk-4.1-0",
        "javascriptcoregtk4.1" },
    { "libsoup-3.0.so.0", "libsoup 3", "libsoup-3.0-0", "libsoup3" },
    { "libgstreamer-1.0.so.0", "GStreamer", "libgstreamer1.0-0", "gstreamer1" },
    { "libgstbase-1.0.so.0", "GStreamer's base library", "libgstreamer1.0-0", "gstreamer1" },
    { "libgstapp-1.0.so.0", GstBase, "libgstreamer-plugins-base1.0-0", "gstreamer1-plugins-base" },
    { "libgstaudio-1.0.so.0", GstBase, "libgstreamer-plugins-base1.0-0", "gstreamer1-plugins-base" },
    { "libgstvideo-1.0.so.0", GstBase, "libgstreamer-plugins-base1.0-0", "gstreamer1-plugins-base" },
    { "libgstpbutils-1.0.so.0", GstBase, "libgstreamer-plugins-base1.0-0", "gstreamer1-plugins-base" },
    { "libgsttag-1.0.so.0", GstBase, "libgstreamer-plugins-base1.0-0", "gstreamer1-plugins-base" },
    { "libgstallocators-1.0.so.0", GstBase, "libgstreamer-plugins-base1.0-0", "gstreamer1-plugins-base" },
    { "libgstfft-1.0.so.0", GstBase, "libgstreamer-plugins-base1.0-0", "gstreamer1-plugins-base" },
    { "libgstgl-1.0.so.0", "GStreamer's OpenGL library", "libgstreamer-gl1.0-0", "gstreamer1-plugins-base" },
} };

std::string_view LastPart(std::string_view path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

CString DescribeMissingLibrary(const CString& problem, const CString& module)
{
    // The loader puts the object it could not load first.
    size_t colon = problem.find(": ");
    if (colon == CString::npos || colon == 0)
        return {};
    std::string_view object = std::string_view(problem).substr(0, colon);
    std::string_view name = LastPart(object);
    if (name == LastPart(module) || name.find(".so") == std::string_view::npos)
        return {};
    for (const KnownLibrary& library : Known) {
        if (name != library.soname)
            continue;
        CString text = "The Flash control cannot run: " + CString(library.what) + " (" + CString(name)
            + ") is missing or cannot be loaded. Install the package " + CString(library.debian)
            + " (Debian and Ubuntu) or " + CString(library.fedora) + " (Fedora)";
        // Everything else is a library of the web engine's: its package
        // brings it along.
        if (library.debian != Known[0].debian)
            text
                += "; " + CString(Known[0].debian) + " and " + CString(Known[0].fedora) + " bring it as well";
        return text + ".";
    }
    return "The Flash control cannot run: the library " + CString(name)
        + ", which it needs, is missing or cannot be loaded.";
}
