#include "tools/swf/MovieWriter.h"

#include <cmath>

namespace {

enum TagCode : WORD {
    TagEnd = 0,
    TagShowFrame = 1,
    TagDefineShape = 2,
    TagSetBackgroundColor = 9,
    TagDoAction = 12,
    TagPlaceObject2 = 26,
    TagRemoveObject2 = 28,
};

constexpr BYTE PlaceMove = 0x01;
constexpr BYTE PlaceHasCharacter = 0x02;
constexpr BYTE PlaceHasMatrix = 0x04;

} // namespace

CMovieWriter::CMovieWriter(SwfRect frame, double framesPerSecond)
    : m_frame(frame)
    , m_nFrameRate(WORD(std::lround(framesPerSecond * 256.0)))
{
}

void CMovieWriter::AddTag(WORD code, const std::vector<BYTE>& payload, TagForm form)
{
    CBitWriter header;
    if (form == TagForm::Short && payload.size() < 0x3F) {
        header.WriteU16(WORD(code << 6 | payload.size()));
    } else {
        header.WriteU16(WORD(code << 6 | 0x3F));
        header.WriteU32(std::uint32_t(payload.size()));
    }
    m_tags.insert(m_tags.end(), header.Bytes().begin(), header.Bytes().end());
    m_tags.insert(m_tags.end(), payload.begin(), payload.end());
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

void CMovieWriter::PlaceObject(WORD depth, WORD id, const SwfMatrix& matrix)
{
    CBitWriter payload;
    payload.WriteByte(PlaceHasCharacter | PlaceHasMatrix);
    payload.WriteU16(depth);
    payload.WriteU16(id);
    WriteMatrix(payload, matrix);
    AddTag(TagPlaceObject2, payload.Bytes());
}

void CMovieWriter::MoveObject(WORD depth, const SwfMatrix& matrix)
{
    CBitWriter payload;
    payload.WriteByte(PlaceMove | PlaceHasMatrix);
    payload.WriteU16(depth);
    WriteMatrix(payload, matrix);
    AddTag(TagPlaceObject2, payload.Bytes());
}

void CMovieWriter::RemoveObject(WORD depth)
{
    CBitWriter payload;
    payload.WriteU16(depth);
    AddTag(TagRemoveObject2, payload.Bytes());
}

void CMovieWriter::DoAction(const CActionList& actions)
{
    AddTag(TagDoAction, actions.Encode());
}

void CMovieWriter::ShowFrame()
{
    AddTag(TagShowFrame, {});
    ++m_nFramesShown;
}

std::vector<BYTE> CMovieWriter::Body() const
{
    CBitWriter body;
    if (m_nFrameRectBits)
        WriteRect(body, m_frame, *m_nFrameRectBits);
    else
        WriteRect(body, m_frame);
    body.WriteU16(m_nFrameRate);
    body.WriteU16(m_nFrameCountOverride.value_or(m_nFramesShown));
    body.WriteBytes(m_tags);
    body.WriteU16(TagEnd << 6);
    return body.Bytes();
}

std::vector<BYTE> CMovieWriter::Build(const MovieFileLayout& layout) const
{
    return AssembleMovieFile(Body(), layout);
}
