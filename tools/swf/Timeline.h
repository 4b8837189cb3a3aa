#pragma once

#include "platform/Types.h"
#include "tools/swf/ActionList.h"
#include "tools/swf/Records.h"

#include <cstdint>
#include <string>
#include <vector>

enum class TagForm {
    Short, // code and length in 16 bits (lengths below 63)
    Long, // code in 16 bits, length in the 32 bits that follow
};

// The control tags of one timeline: the movie's own, or a movie clip's inside
// DefineSprite. Frames are counted as ShowFrame is called.
class CTimeline {
public:
    // A tag header (code in the high 10 bits of a 16-bit word, length in the
    // low 6, or 0x3F and a 32-bit length after it) and `payload`.
    void AddTag(WORD code, const std::vector<BYTE>& payload, TagForm form = TagForm::Short);

    // PlaceObject2 of character `id` at `depth`.
    void PlaceObject(WORD depth, WORD id, const SwfMatrix& matrix = {});
    // The same with an instance name, by which scripts address the clip
    // ("_root.box").
    void PlaceObject(WORD depth, WORD id, const SwfMatrix& matrix, const std::string& name);
    void MoveObject(WORD depth, const SwfMatrix& matrix);
    void RemoveObject(WORD depth);
    void DoAction(const CActionList& actions);
    // StartSound of an event sound defined with DefineSound, played `loops`
    // times.
    void StartSound(WORD id, WORD loops = 1);
    // SoundStreamHead2 for uncompressed 16-bit little-endian PCM at
    // `sampleRate` (5512, 11025, 22050 or 44100), `samplesPerFrame` samples
    // per channel in each frame's SoundStreamBlock.
    void SoundStreamHead2(int sampleRate, bool stereo, WORD samplesPerFrame);
    // One frame's stream samples (interleaved left, right when stereo).
    void SoundStreamBlock(const std::vector<std::int16_t>& samples);
    void ShowFrame();

    WORD GetFramesShown() const { return m_nFramesShown; }
    // The tags so far, without the End tag.
    const std::vector<BYTE>& Tags() const { return m_tags; }

private:
    WORD m_nFramesShown { 0 };
    std::vector<BYTE> m_tags {};
};
