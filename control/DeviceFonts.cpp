#include "control/DeviceFonts.h"

#include "control/JsString.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstdio>
#include <fontconfig/fontconfig.h>
#include <fstream>
#include <sys/stat.h>

namespace {

constexpr const char* FontBase = "quorvel-control://engine/fonts/";
// The engine's own font, Latin only: what it draws device text with when
// none of the names before it is a font it has.
constexpr const char* EngineFont = "Noto Sans";

bool IsRegularFile(const char* path)
{
    struct stat status { };
    return stat(path, &status) == 0 && S_ISREG(status.st_mode);
}

std::string Lowered(std::string_view text)
{
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return lowered;
}

// Big-endian numbers of a font file.
std::optional<unsigned long> ReadNumber(std::ifstream& file, unsigned long at, int bytes)
{
    unsigned char data[4] {};
    if (!file.seekg(std::streamoff(at)) || !file.read(reinterpret_cast<char*>(data), bytes))
        return std::nullopt;
    unsigned long number = 0;
    for (int i = 0; i < bytes; ++i)
        number = number << 8 | data[i];
    return number;
}

// The name the engine registers face `face` of a font file under: the
// first full name (name ID 4) of the name table, in table order, that is in
// a Unicode encoding (platform 0, or platform 3 with encoding 0 or 1). It is
// often not the English one: Windows records sort by language, and
// Traditional Chinese (0x0404) comes before US English (0x0409).
std::optional<std::string> EngineName(const char* path, int face)
{
    std::ifstream file(path, std::ios::binary);
    std::optional<unsigned long> tag = ReadNumber(file, 0, 4);
    if (!tag || face < 0)
        return std::nullopt;
    unsigned long start = 0;
    if (*tag == 0x74746366) { // 'ttcf'
        std::optional<unsigned long> faces = ReadNumber(file, 8, 4);
        std::optional<unsigned long> at
            = faces && unsigned(face) < *faces ? ReadNumber(file, 12 + 4 * unsigned(face), 4) : std::nullopt;
        if (!at)
            return std::nullopt;
        start = *at;
    } else if (face != 0) {
        return std::nullopt;
    }
    std::optional<unsigned long> tables = ReadNumber(file, start + 4, 2);
    for (unsigned long i = 0; tables && i < *tables; ++i) {
        unsigned long entry = start + 12 + 16 * i;
        if (ReadNumber(file, entry, 4) != 0x6E616D65ul) // 'name'
            continue;
        std::optional<unsigned long> table = ReadNumber(file, entry + 8, 4);
        std::optional<unsigned long> count = table ? ReadNumber(file, *table + 2, 2) : std::nullopt;
        std::optional<unsigned long> strings = table ? ReadNumber(file, *table + 4, 2) : std::nullopt;
        for (unsigned long r = 0; count && strings && r < *count; ++r) {
            unsigned long record = *table + 6 + 12 * r;
            std::optional<unsigned long> platform = ReadNumber(file, record, 2);
            std::optional<unsigned long> encoding = ReadNumber(file, record + 2, 2);
            std::optional<unsigned long> id = ReadNumber(file, record + 6, 2);
            if (!platform || !encoding || !id)
                return std::nullopt;
            if (*id != 4 || !(*platform == 0 || (*platform == 3 && *encoding <= 1)))
                continue;
            std::optional<unsigned long> length = ReadNumber(file, record + 8, 2);
            std::optional<unsigned long> offset = ReadNumber(file, record + 10, 2);
            if (!length || !offset)
                return std::nullopt;
            std::string name;
            unsigned long at = *table + *strings + *offset;
            for (unsigned long u = 0; u + 1 < *length; u += 2) {
                std::optional<unsigned long> unit = ReadNumber(file, at + u, 2);
                if (!unit)
                    return std::nullopt;
                unsigned long c = *unit;
                if (c >= 0xD800 && c < 0xDC00 && u + 3 < *length) {
                    std::optional<unsigned long> low = ReadNumber(file, at + u + 2, 2);
                    if (!low || *low < 0xDC00 || *low >= 0xE000)
                        return std::nullopt;
                    c = 0x10000 + ((c - 0xD800) << 10) + (*low - 0xDC00);
                    u += 2;
                } else if (c >= 0xD800 && c < 0xE000) {
                    return std::nullopt;
                }
                platform::AppendUtf8(name, std::uint32_t(c));
            }
            return name.empty() ? std::nullopt : std::optional<std::string>(name);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

// The face fontconfig prefers for a family and a language, if it covers the
// language (fontconfig always answers, with a Latin font when it has
// nothing better) and is an outline font the engine can read.
std::optional<CDeviceFonts::SMatch> Match(
    FcConfig* config, CDeviceFonts::EFamily family, const char* familyName, const std::string& language)
{
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return std::nullopt;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(familyName));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language.c_str()));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* font = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!font)
        return std::nullopt;

    std::optional<CDeviceFonts::SMatch> match;
    FcLangSet* languages = nullptr;
    FcChar8* file = nullptr;
    FcChar8* format = nullptr;
    FcBool outline = FcFalse;
    bool usable = FcPatternGetLangSet(font, FC_LANG, 0, &languages) == FcResultMatch
        && FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>(language.c_str())) == FcLangEqual
        && FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch
        && IsRegularFile(reinterpret_cast<const char*>(file))
        && FcPatternGetBool(font, FC_OUTLINE, 0, &outline) == FcResultMatch && outline
        && FcPatternGetString(font, FC_FONTFORMAT, 0, &format) == FcResultMatch
        && (std::string_view(reinterpret_cast<const char*>(format)) == "TrueType"
            || std::string_view(reinterpret_cast<const char*>(format)) == "CFF");
    if (usable) {
        match = CDeviceFonts::SMatch { family, language, reinterpret_cast<const char*>(file), {} };
        // fontconfig's full names may include other faces' (and leave the
        // engine's choice behind them), so they are only a last resort.
        int face = 0;
        FcPatternGetInteger(font, FC_INDEX, 0, &face);
        if (std::optional<std::string> engineName
            = EngineName(reinterpret_cast<const char*>(file), face & 0xFFFF)) {
            match->fullNames.push_back(std::move(*engineName));
        } else {
            FcChar8* name = nullptr;
            for (int i = 0; FcPatternGetString(font, FC_FULLNAME, i, &name) == FcResultMatch; ++i)
                match->fullNames.emplace_back(reinterpret_cast<const char*>(name));
        }
    }
    FcPatternDestroy(font);
    return match;
}

} // namespace

const std::vector<std::string>& CDeviceFonts::Languages()
{
    static const std::vector<std::string> s_languages { "zh-cn", "zh-tw", "ja", "ko" };
    return s_languages;
}

CDeviceFonts::CDeviceFonts(std::vector<SMatch> matches)
{
    for (SMatch& match : matches) {
        if (match.path.empty() || match.fullNames.empty())
            continue;
        if (std::find(m_files.begin(), m_files.end(), match.path) == m_files.end())
            m_files.push_back(match.path);
        m_matches.push_back(std::move(match));
    }
}

CDeviceFonts CDeviceFonts::FromFontconfig(const char* configFile)
{
    FcConfig* config = nullptr;
    if (configFile) {
        config = FcConfigCreate();
        if (!config)
            return {};
        if (!FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(configFile), FcTrue)
            || !FcConfigBuildFonts(config)) {
            FcConfigDestroy(config);
            return {};
        }
    } else if (!FcInit()) {
        return {};
    }

    static const std::pair<EFamily, const char*> s_families[] {
        { EFamily::Sans, "sans-serif" },
        { EFamily::Serif, "serif" },
        { EFamily::Mono, "monospace" },
    };
    std::vector<SMatch> matches;
    for (const auto& [family, familyName] : s_families) {
        for (const std::string& language : Languages()) {
            if (std::optional<SMatch> match = Match(config, family, familyName, language))
                matches.push_back(std::move(*match));
        }
    }
    if (config)
        FcConfigDestroy(config);
    return CDeviceFonts(std::move(matches));
}

std::string CDeviceFonts::ConfigScript() const
{
    if (m_files.empty())
        return "{}";

    // The names of one family's faces, for every language or for one.
    auto names = [this](std::vector<std::string>& list, EFamily family, const char* language) {
        for (const SMatch& match : m_matches) {
            if (match.family != family || (language && match.language != language))
                continue;
            for (const std::string& name : match.fullNames) {
                if (std::find(list.begin(), list.end(), name) == list.end())
                    list.push_back(name);
            }
        }
    };
    struct SDefault {
        const char* key;
        std::vector<std::pair<EFamily, const char*>> order;
    };
    // Each of the engine's default fonts takes its own family first, in the
    // languages' order (the Japanese ones in Japanese first), then sans.
    const SDefault defaults[] {
        { "sans", { { EFamily::Sans, nullptr } } },
        { "serif", { { EFamily::Serif, nullptr }, { EFamily::Sans, nullptr } } },
        { "typewriter", { { EFamily::Mono, nullptr }, { EFamily::Sans, nullptr } } },
        { "japaneseGothic", { { EFamily::Sans, "ja" }, { EFamily::Sans, nullptr } } },
        { "japaneseGothicMono",
            { { EFamily::Mono, "ja" }, { EFamily::Sans, "ja" }, { EFamily::Mono, nullptr },
                { EFamily::Sans, nullptr } } },
        { "japaneseMincho",
            { { EFamily::Serif, "ja" }, { EFamily::Serif, nullptr }, { EFamily::Sans, nullptr } } },
    };

    std::string script = "{\"fontSources\":[";
    for (size_t i = 0; i < m_files.size(); ++i)
        script += (i ? "," : "") + JsString(FontBase + std::to_string(i));
    script += "],\"defaultFonts\":{";
    for (const SDefault& entry : defaults) {
        std::vector<std::string> list;
        for (const auto& [family, language] : entry.order)
            names(list, family, language);
        list.push_back(EngineFont);
        script += std::string(&entry == defaults ? "" : ",") + JsString(entry.key) + ":[";
        for (size_t i = 0; i < list.size(); ++i)
            script += (i ? "," : "") + JsString(list[i]);
        script += "]";
    }
    return script + "}}";
}

std::optional<std::string> CDeviceFonts::FileForRequest(std::string_view name) const
{
    if (name.empty() || name.size() > 9 || (name.size() > 1 && name[0] == '0'))
        return std::nullopt;
    size_t index = 0;
    for (char c : name) {
        if (c < '0' || c > '9')
            return std::nullopt;
        index = index * 10 + size_t(c - '0');
    }
    if (index >= m_files.size())
        return std::nullopt;
    return m_files[index];
}

const char* CDeviceFonts::ContentTypeOf(std::string_view path)
{
    std::string name = Lowered(path.substr(path.find_last_of('/') + 1));
    if (name.ends_with(".ttc") || name.ends_with(".otc"))
        return "font/collection";
    if (name.ends_with(".otf"))
        return "font/otf";
    return "font/ttf";
}
