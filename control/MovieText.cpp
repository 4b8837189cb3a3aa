#include "control/MovieText.h"

#include "movie/MovieFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr WORD TagDefineFontInfo = 13;
constexpr WORD TagDefineFontInfo2 = 62;
constexpr WORD TagDefineFont2 = 48;
constexpr WORD TagDefineFont3 = 75;
constexpr WORD TagDefineFontName = 88;
constexpr WORD TagDefineSprite = 39;

// Tags whose bytes are pictures, sounds, video, outlines or raw data: any
// three of their bytes may look like a character.
constexpr std::array<WORD, 21> BinaryTags {
    2, // DefineShape
    6, // DefineBits
    8, // JPEGTables
    10, // DefineFont
    14, // DefineSound
    19, // SoundStreamBlock
    20, // DefineBitsLossless
    21, // DefineBitsJPEG2
    22, // DefineShape2
    32, // DefineShape3
    35, // DefineBitsJPEG3
    36, // DefineBitsLossless2
    46, // DefineMorphShape
    60, // DefineVideoStream
    61, // VideoFrame
    73, // DefineFontAlignZones
    83, // DefineShape4
    84, // DefineMorphShape2
    87, // DefineBinaryData
    90, // DefineBitsJPEG4
    91, // DefineFont4
};

// Latin names of fonts made for these scripts, as movies name them.
constexpr std::array<std::string_view, 20> CjkFontNames {
    "simsun",
    "nsimsun",
    "simhei",
    "kaiti",
    "fangsong",
    "microsoft yahei",
    "microsoft jhenghei",
    "mingliu",
    "pmingliu",
    "ms gothic",
    "ms pgothic",
    "ms mincho",
    "ms pmincho",
    "meiryo",
    "batang",
    "gulim",
    "dotum",
    "malgun gothic",
    "yu gothic",
    "stheiti",
};

// A UTF-8 character at `p` of CJK ideographs, kana, Hangul, their symbols
// and punctuation, or the full-width forms (U+2E80 to U+9FFF, U+AC00 to
// U+D7AF, U+F900 to U+FAFF, U+FF00 to U+FFEF): all three-byte sequences.
bool CjkCharacterAt(const BYTE* p, const BYTE* end)
{
    if (end - p < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80)
        return false;
    if (p[0] < 0xE2 || p[0] > 0xEF)
        return false;
    unsigned code = unsigned(p[0] & 0x0F) << 12 | unsigned(p[1] & 0x3F) << 6 | unsigned(p[2] & 0x3F);
    return (code >= 0x2E80 && code <= 0x9FFF) || (code >= 0xAC00 && code <= 0xD7AF)
        || (code >= 0xF900 && code <= 0xFAFF) || (code >= 0xFF00 && code <= 0xFFEF);
}

bool ShowsCjk(const BYTE* p, const BYTE* end)
{
    for (; p < end; ++p) {
        if (CjkCharacterAt(p, end))
            return true;
    }
    return false;
}

bool NamesCjkFont(const BYTE* name, size_t length)
{
    if (ShowsCjk(name, name + length))
        return true;
    std::string lower(reinterpret_cast<const char*>(name), length);
    std::transform(
        lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (!lower.empty() && lower.back() == '\0')
        lower.pop_back();
    return std::find(CjkFontNames.begin(), CjkFontNames.end(), lower) != CjkFontNames.end();
}

// Walks the tags; true at the first sign of CJK text. A tag that claims
// more bytes than there are is read as far as it goes.
bool TagsShowCjk(CTagReader tags)
{
    while (std::optional<MovieTag> tag = tags.Next()) {
        const BYTE* payload = tag->body.data();
        size_t length = tag->body.size();
        if (tag->code == 0)
            return false;
        if (tag->code == TagDefineSprite) {
            // Id and frame count, then the sprite's own tags.
            if (length >= 4 && TagsShowCjk(CTagReader(tag->body, 4)))
                return true;
        } else if (tag->code == TagDefineFont2 || tag->code == TagDefineFont3) {
            // Id, flags, language, then the name with its length byte.
            if (length >= 5 && size_t(payload[4]) <= length - 5 && NamesCjkFont(payload + 5, payload[4]))
                return true;
        } else if (tag->code == TagDefineFontInfo || tag->code == TagDefineFontInfo2) {
            // Id, then the name with its length byte.
            if (length >= 3 && size_t(payload[2]) <= length - 3 && NamesCjkFont(payload + 3, payload[2]))
                return true;
        } else if (tag->code == TagDefineFontName) {
            if (length > 2 && ShowsCjk(payload + 2, payload + length))
                return true;
        } else if (std::find(BinaryTags.begin(), BinaryTags.end(), tag->code) == BinaryTags.end()) {
            if (ShowsCjk(payload, payload + length))
                return true;
        }
    }
    return false;
}

} // namespace

bool MovieShowsCjkText(std::span<const BYTE> movie)
{
    CMovieFile file(movie);
    MovieCoding coding = file.Coding();
    if (coding != MovieCoding::Stored && coding != MovieCoding::Zlib)
        return true;
    std::optional<CMovieBody> body = file.WholeBody();
    if (!body)
        return true;
    std::optional<MovieFrameHeader> frameHeader = body->FrameHeader();
    if (!frameHeader || !frameHeader->complete)
        return true;
    return TagsShowCjk(body->Tags());
}
