#pragma once

#include "tools/swf/ActionList.h"
#include "tools/swf/ButtonRecord.h"
#include "tools/swf/EditText.h"
#include "tools/swf/MovieFile.h"
#include "tools/swf/Records.h"
#include "tools/swf/Shape.h"
#include "tools/swf/Timeline.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Builds a movie tag by tag: the definitions here, the control tags (placing,
// actions, sounds, frames) from CTimeline. The End tag is added when the body
// is taken.
class CMovieWriter : public CTimeline {
public:
    CMovieWriter(SwfRect frame, double framesPerSecond);

    // Writes the frame rectangle with fields `bits` wide (0 to 31) instead of
    // as narrow as possible.
    void SetFrameRectBits(int bits) { m_nFrameRectBits = bits; }
    // Writes this frame count instead of the number of frames shown.
    void SetFrameCount(WORD count) { m_nFrameCountOverride = count; }

    void SetBackgroundColor(SwfRgb colour, TagForm form = TagForm::Short);
    void DefineShape(WORD id, const CShape& shape);
    // A movie clip: its id, frame count and `timeline`'s tags up to an End tag.
    void DefineSprite(WORD id, const CTimeline& timeline);
    // A button of `records` that runs `onRelease` when the mouse is released
    // over it.
    void DefineButton2(WORD id, const std::vector<SwfButtonRecord>& records, const CActionList& onRelease);
    // A font with no glyphs, which text fields show with the system font of
    // that name ("_sans", "_serif", "_typewriter", or a UTF-8 family name).
    void DefineFont2(WORD id, const std::string& name, bool bold = false, bool italic = false);
    void DefineEditText(WORD id, const SwfEditText& field);
    // An event sound of uncompressed 16-bit PCM at `sampleRate` (5512, 11025,
    // 22050 or 44100); stereo samples interleave left and right.
    void DefineSound(WORD id, int sampleRate, bool stereo, const std::vector<std::int16_t>& samples);

    // Frame header, tags and the End tag.
    std::vector<BYTE> Body() const;
    // The complete file.
    std::vector<BYTE> Build(const MovieFileLayout& layout = {}) const;

private:
    SwfRect m_frame {};
    WORD m_nFrameRate { 0 }; // 8.8 fixed point
    std::optional<int> m_nFrameRectBits {};
    std::optional<WORD> m_nFrameCountOverride {};
};
