#include "tools/swf/MovieWriter.h"

#include "tools/swf/Sound.h"

#include <cmath>
#include <stdexcept>

namespace {

enum TagCode : WORD {
    TagEnd = 0,
    TagDefineShape = 2,
    TagSetBackgroundColor = 9,
    TagDefineSound = 14,
    TagDefineButton2 = 34,
    TagDefineEditText = 37,
    TagDefineSprite = 39,
    TagDefineFont2 = 48,
};

// DefineFont2's flags byte, bit 7 first: layout, Shift-JIS, small text, ANSI,
// 32-bit offsets, 16-bit codes, italic, bold. Movies of version 6 and later
// always have 16-bit codes; their font names are UTF-8 (no flag says so).
constexpr BYTE FontWideCodes = 0x04;
constexpr BYTE FontItalic = 0x02;
constexpr BYTE FontBold = 0x01;

// DefineEditText's flags, 16 bits with bit 15 first: has text, word wrap,
// multiline, password, read-only, has colour, has maximum length, has font;
// has font class, autosize, has layout, no select, border, was static, HTML,
// use outlines.
constexpr WORD EditHasText = 0x8000;
constexpr WORD EditWordWrap = 0x4000;
constexpr WORD EditMultiline = 0x2000;
constexpr WORD EditReadOnly = 0x0800;
constexpr WORD EditHasTextColor = 0x0400;
constexpr WORD EditHasFont = 0x0100;
constexpr WORD EditAutoSize = 0x0040;
constexpr WORD EditNoSelect = 0x0010;
constexpr WORD EditBorder = 0x0008;
constexpr WORD EditHtml = 0x0002;
constexpr WORD EditUseOutlines = 0x0001;

// Button action conditions, two bytes, each from bit 7 down. The first:
// idle to over-down, out-down to idle, out-down to over-down, over-down to
// out-down, over-down to over-up (the release), over-up to over-down, over-up
// to idle, idle to over-up. The second: a 7-bit key code, over-down to idle.
constexpr BYTE ButtonOnRelease = 0x08;

void WriteString(CBitWriter& writer, const std::string& text)
{
    writer.WriteBytes(std::vector<BYTE>(text.begin(), text.end()));
    writer.WriteByte(0);
}

} // namespace

CMovieWriter::CMovieWriter(SwfRect frame, double framesPerSecond)
    : m_frame(frame)
    , m_nFrameRate(WORD(std::lround(framesPerSecond * 256.0)))
{
}

void CMovieWriter::SetBackgroundColor(SwfRgb colour, TagForm form)
{
    AddTag(TagSetBackgroundColor, { colour.red, colour.green, colour.blue }, form);
}

void CMovieWriter::DefineShape(WORD id, const CShape& shape)
{
    CBitWriter payload;
    payload.WriteU16(id);
    WriteRect(payload, shape.GetBounds());
    shape.WriteShapeWithStyle(payload);
    AddTag(TagDefineShape, payload.Bytes());
}

void CMovieWriter::DefineSprite(WORD id, const CTimeline& timeline)
{
    CBitWriter payload;
    payload.WriteU16(id);
    payload.WriteU16(timeline.GetFramesShown());
    payload.WriteBytes(timeline.Tags());
    payload.WriteU16(TagEnd << 6);
    AddTag(TagDefineSprite, payload.Bytes(), TagForm::Long);
}

void CMovieWriter::DefineButton2(
    WORD id, const std::vector<SwfButtonRecord>& records, const CActionList& onRelease)
{
    // Id; a byte of flags (bit 0: track as menu); the offset from the offset
    // field to the first action record; the character records, each a state
    // byte (bits 5-4 blend mode and filters, absent here), character, depth,
    // matrix and colour transform, ended by a zero byte; then the action
    // records, each a 16-bit size (0 for the last), 16 bits of conditions and
    // actions up to their end marker.
    CBitWriter characters;
    for (const SwfButtonRecord& record : records) {
        if ((record.states & ButtonAllStates) == 0)
            throw std::invalid_argument("a button character shows in at least one state");
        characters.WriteByte(record.states & ButtonAllStates);
        characters.WriteU16(record.character);
        characters.WriteU16(record.depth);
        WriteMatrix(characters, record.matrix);
        characters.WriteByte(0); // colour transform without add or multiply terms
    }
    characters.WriteByte(0);

    CBitWriter payload;
    payload.WriteU16(id);
    payload.WriteByte(0);
    payload.WriteU16(WORD(2 + characters.Bytes().size()));
    payload.WriteBytes(characters.Bytes());
    payload.WriteU16(0); // the only action record
    payload.WriteByte(ButtonOnRelease);
    payload.WriteByte(0); // no key

    payload.WriteBytes(onRelease.Encode());
    AddTag(TagDefineButton2, payload.Bytes(), TagForm::Long);
}

void CMovieWriter::DefineFont2(WORD id, const std::string& name, bool bold, bool italic)
{
    // Id, flags, language (0: none), the name's length in a byte and the name
    // without a NUL, no glyphs, and a 16-bit code table offset that points
    // just past itself, at the empty code table.
    if (name.empty() || name.size() > 255)
        throw std::invalid_argument("a font name is 1 to 255 bytes");
    CBitWriter payload;
    payload.WriteU16(id);
    payload.WriteByte(BYTE(FontWideCodes | (italic ? FontItalic : 0) | (bold ? FontBold : 0)));
    payload.WriteByte(0);
    payload.WriteByte(BYTE(name.size()));
    payload.WriteBytes(std::vector<BYTE>(name.begin(), name.end()));
    payload.WriteU16(0);
    payload.WriteU16(2);
    AddTag(TagDefineFont2, payload.Bytes());
}

void CMovieWriter::DefineEditText(WORD id, const SwfEditText& field)
{
    // Id, bounds, flags; then, as the flags say: font id and height, RGBA
    // colour, maximum length, layout; the variable name; the initial text.
    WORD flags = EditHasTextColor;
    if (!field.text.empty())
        flags |= EditHasText;
    if (field.fontId != 0)
        flags |= EditHasFont;
    if (field.wordWrap)
        flags |= EditWordWrap;
    if (field.multiline)
        flags |= EditMultiline;
    if (field.readOnly)
        flags |= EditReadOnly;
    if (field.autoSize)
        flags |= EditAutoSize;
    if (field.noSelect)
        flags |= EditNoSelect;
    if (field.border)
        flags |= EditBorder;
    if (field.html)
        flags |= EditHtml;
    if (field.useOutlines)
        flags |= EditUseOutlines;

    CBitWriter payload;
    payload.WriteU16(id);
    WriteRect(payload, field.bounds);
    // Written as bytes, the high one first.
    payload.WriteByte(BYTE(flags >> 8));
    payload.WriteByte(BYTE(flags));
    if (flags & EditHasFont) {
        payload.WriteU16(field.fontId);
        payload.WriteU16(field.fontHeight);
    }
    payload.WriteByte(field.colour.red);
    payload.WriteByte(field.colour.green);
    payload.WriteByte(field.colour.blue);
    payload.WriteByte(field.colour.alpha);
    WriteString(payload, field.variableName);
    if (flags & EditHasText)
        WriteString(payload, field.text);
    AddTag(TagDefineEditText, payload.Bytes());
}

void CMovieWriter::DefineSound(WORD id, int sampleRate, bool stereo, const std::vector<std::int16_t>& samples)
{
    // Id, format byte, the count of samples (per channel), the samples.
    if (stereo && samples.size() % 2 != 0)
        throw std::invalid_argument("stereo samples come in pairs");
    CBitWriter payload;
    payload.WriteU16(id);
    payload.WriteByte(PcmSoundFormat(sampleRate, stereo));
    payload.WriteU32(std::uint32_t(stereo ? samples.size() / 2 : samples.size()));
    payload.WriteBytes(PcmBytes(samples));
    AddTag(TagDefineSound, payload.Bytes(), TagForm::Long);
}

std::vector<BYTE> CMovieWriter::Body() const
{
    CBitWriter body;
    if (m_nFrameRectBits)
        WriteRect(body, m_frame, *m_nFrameRectBits);
    else
        WriteRect(body, m_frame);
    body.WriteU16(m_nFrameRate);
    body.WriteU16(m_nFrameCountOverride.value_or(GetFramesShown()));
    body.WriteBytes(Tags());
    body.WriteU16(TagEnd << 6);
    return body.Bytes();
}

std::vector<BYTE> CMovieWriter::Build(const MovieFileLayout& layout) const
{
    return AssembleMovieFile(Body(), layout);
}
