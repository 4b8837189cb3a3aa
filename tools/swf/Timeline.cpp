#include "tools/swf/Timeline.h"

#include "tools/swf/Sound.h"

#include <stdexcept>

namespace {

enum TagCode : WORD {
    TagShowFrame = 1,
    TagDoAction = 12,
    TagStartSound = 15,
    TagSoundStreamBlock = 19,
    TagPlaceObject2 = 26,
    TagRemoveObject2 = 28,
    TagSoundStreamHead2 = 45,
};

// PlaceObject2's first byte.
constexpr BYTE PlaceMove = 0x01;
constexpr BYTE PlaceHasCharacter = 0x02;
constexpr BYTE PlaceHasMatrix = 0x04;
constexpr BYTE PlaceHasName = 0x20;

// SOUNDINFO's first byte: bits 7-6 zero, 5 stop the sound, 4 do not start it
// again while it plays, 3 an envelope follows, 2 a 16-bit loop count, 1 and 0
// 32-bit out and in points.
constexpr BYTE SoundInfoHasLoops = 0x04;

} // namespace

void CTimeline::AddTag(WORD code, const std::vector<BYTE>& payload, TagForm form)
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

void CTimeline::PlaceObject(WORD depth, WORD id, const SwfMatrix& matrix)
{
    CBitWriter payload;
    payload.WriteByte(PlaceHasCharacter | PlaceHasMatrix);
    payload.WriteU16(depth);
    payload.WriteU16(id);
    WriteMatrix(payload, matrix);
    AddTag(TagPlaceObject2, payload.Bytes());
}

void CTimeline::PlaceObject(WORD depth, WORD id, const SwfMatrix& matrix, const std::string& name)
{
    // Flags, depth, character, matrix, then the name with its NUL (the
    // colour transform and ratio that would come between are absent).
    CBitWriter payload;
    payload.WriteByte(PlaceHasName | PlaceHasCharacter | PlaceHasMatrix);
    payload.WriteU16(depth);
    payload.WriteU16(id);
    WriteMatrix(payload, matrix);
    payload.WriteBytes(std::vector<BYTE>(name.begin(), name.end()));
    payload.WriteByte(0);
    AddTag(TagPlaceObject2, payload.Bytes());
}

void CTimeline::MoveObject(WORD depth, const SwfMatrix& matrix)
{
    CBitWriter payload;
    payload.WriteByte(PlaceMove | PlaceHasMatrix);
    payload.WriteU16(depth);
    WriteMatrix(payload, matrix);
    AddTag(TagPlaceObject2, payload.Bytes());
}

void CTimeline::RemoveObject(WORD depth)
{
    CBitWriter payload;
    payload.WriteU16(depth);
    AddTag(TagRemoveObject2, payload.Bytes());
}

void CTimeline::DoAction(const CActionList& actions)
{
    AddTag(TagDoAction, actions.Encode());
}

void CTimeline::StartSound(WORD id, WORD loops)
{
    CBitWriter payload;
    payload.WriteU16(id);
    if (loops == 1) {
        payload.WriteByte(0);
    } else {
        payload.WriteByte(SoundInfoHasLoops);
        payload.WriteU16(loops);
    }
    AddTag(TagStartSound, payload.Bytes());
}

void CTimeline::SoundStreamHead2(int sampleRate, bool stereo, WORD samplesPerFrame)
{
    // The playback format (its top four bits reserved, zero), the stream's
    // format, and the samples per block. A 16-bit latency seek would follow
    // for MP3 only.
    BYTE format = PcmSoundFormat(sampleRate, stereo);
    CBitWriter payload;
    payload.WriteByte(format & 0x0F);
    payload.WriteByte(format);
    payload.WriteU16(samplesPerFrame);
    AddTag(TagSoundStreamHead2, payload.Bytes());
}

void CTimeline::SoundStreamBlock(const std::vector<std::int16_t>& samples)
{
    AddTag(TagSoundStreamBlock, PcmBytes(samples));
}

void CTimeline::ShowFrame()
{
    AddTag(TagShowFrame, {});
    ++m_nFramesShown;
}
