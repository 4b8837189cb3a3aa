#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Device text (a text field without outlines, in _sans, _serif, _typewriter
// or a named font such as SimSun) is drawn by the engine with fonts it is
// given; by itself it has one, with Latin glyphs only. These are the
// system's fonts for Chinese, Japanese and Korean that fontconfig chooses,
// to be given to the engine with each movie.
//
// The engine draws a text field with one font, never taking a missing glyph
// from another, and it sends every font name it does not know to _sans (or,
// for names with Ming or 明, to Japanese Mincho). So once a CJK font is
// offered, it draws all device text, Latin too, in the families below;
// without one, the engine's settings are left exactly as they are.
//
// The engine registers each face of a font file under one full name read
// from the file, often not the English one; the settings name each face by
// that same name, read the same way.
//
// The font files are served on the control's scheme as
// quorvel-control://engine/fonts/<n>, n being the file's place in Files():
// a request can only ever reach a file that was offered.
class CDeviceFonts {
public:
    enum class EFamily { Sans, Serif, Mono };

    // One answer of fontconfig: the face it chose for a family and a
    // language, in the file at path, with the names to ask the engine for
    // it by (the one the engine gives it, or fontconfig's if unreadable).
    struct SMatch {
        EFamily family { EFamily::Sans };
        std::string language {};
        std::string path {};
        std::vector<std::string> fullNames {};
    };

    // The languages asked for, in the order of preference: zh-cn, zh-tw, ja, ko.
    static const std::vector<std::string>& Languages();

    CDeviceFonts() = default;
    // Matches in the order they were asked for (family by family, each in
    // the order of Languages()); ones without a path or a name are left out.
    explicit CDeviceFonts(std::vector<SMatch> matches);

    // Asks fontconfig for every family and language: the current
    // configuration, or the one in configFile (for tests). Only faces that
    // cover the language and live in regular files are kept. Takes a few
    // milliseconds; the control asks once.
    static CDeviceFonts FromFontconfig(const char* configFile = nullptr);

    // The distinct files, in the order they were first matched.
    const std::vector<std::string>& Files() const { return m_files; }
    bool Empty() const { return m_files.empty(); }

    // The engine's font options as a JavaScript object literal, to be merged
    // into the configuration of each player:
    //   { fontSources: [ "quorvel-control://engine/fonts/0", ... ],
    //     defaultFonts: { sans: [ ... ], serif: [ ... ], ... } }
    // Every list of names ends with the engine's own font, so a file that
    // fails to load leaves the text as it is today. Without files: "{}".
    std::string ConfigScript() const;

    // The file for a request of quorvel-control://engine/fonts/<name>: only
    // a plain decimal index of Files() (no sign, no leading zero) is one.
    std::optional<std::string> FileForRequest(std::string_view name) const;

    // The content type to serve a font file with, from its name.
    static const char* ContentTypeOf(std::string_view path);

private:
    std::vector<SMatch> m_matches {};
    std::vector<std::string> m_files {};
};
