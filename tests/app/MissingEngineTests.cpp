// The words for a control that cannot be loaded: which library is missing,
// and which package brings it, from what the loader said.

#include "app/MissingEngine.h"

#include <gtest/gtest.h>

namespace {

TEST(MissingEngine, EachLibraryOfTheEngineIsNamedWithItsPackages)
{
    const CString module = "/home/u/.local/share/quorvel/system/flash8.ocx";
    // As the loader puts it: a missing file, and a file that is not all there.
    CString missing = DescribeMissingLibrary(
        "libwebkit2gtk-4.1.so.0: cannot open shared object file: No such file or directory", module);
    EXPECT_EQ(missing,
        "The Flash control cannot run: WebKitGTK 4.1 (libwebkit2gtk-4.1.so.0) is missing or cannot be "
        "loaded. "
        "Install the package libwebkit2gtk-4.1-0 (Debian and Ubuntu) or webkit2gtk4.1 (Fedora).");
    EXPECT_EQ(DescribeMissingLibrary("/lib/x86_64-linux-gnu/libwebkit2gtk-4.1.so.0: file too short", module),
        missing);

    CString script = DescribeMissingLibrary(
        "libjavascriptcoregtk-4.1.so.0: cannot open shared object file: No such file or directory", module);
    EXPECT_NE(script.find("(libjavascriptcoregtk-4.1.so.0)"), CString::npos) << script;
    EXPECT_NE(script.find("libjavascriptcoregtk-4.1-0 (Debian and Ubuntu) or javascriptcoregtk4.1 (Fedora)"),
        CString::npos)
        << script;
    EXPECT_NE(script.find("libwebkit2gtk-4.1-0 and webkit2gtk4.1 bring it as well"), CString::npos) << script;
    for (const char* library :
        { "libgstreamer-1.0.so.0", "libgstbase-1.0.so.0", "libgstvideo-1.0.so.0", "libsoup-3.0.so.0" }) {
        CString text = DescribeMissingLibrary(CString(library) + ": invalid ELF header", module);
        EXPECT_NE(text.find(CString("(") + library + ")"), CString::npos) << text;
        EXPECT_NE(text.find("(Fedora)"), CString::npos) << text;
    }
    // Another library: named, without a package to guess.
    EXPECT_EQ(DescribeMissingLibrary("libfoo.so.3: cannot open shared object file: No such file", module),
        "The Flash control cannot run: the library libfoo.so.3, which it needs, is missing or cannot be "
        "loaded.");
}

TEST(MissingEngine, TheModulesOwnFaultsAreNotAMissingLibrary)
{
    const CString module = "C:\\quorvel\\system\\flash8.ocx";
    for (const char* problem :
        { "/c/quorvel/system/flash8.ocx: the module is cut short (a segment runs past the "
          "end of the file)",
            "/c/quorvel/system/flash8.ocx: undefined symbol: webkit_web_view_new", "cannot be loaded",
            ": nothing", "" })
        EXPECT_EQ(DescribeMissingLibrary(problem, module), "") << problem;
}

} // namespace
