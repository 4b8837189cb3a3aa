#pragma once

#include "tools/swf/ActionList.h"
#include "tools/swf/MovieFile.h"
#include "tools/swf/Records.h"
#include "tools/swf/Shape.h"

#include <optional>
#include <vector>

enum class TagForm {
    Short, // code and length in 16 bits (lengths below 63)
    Long, // code in 16 bits, length in the 32 bits that follow
};

// Builds a movie tag by tag. Frames are counted as ShowFrame is called; the
// End tag is added when the body is taken.
class CMovieWriter {
public:
    CMovieWriter(SwfRect frame, double framesPerSecond);

    // Writes the frame rectangle with fields `bits` wide (0 to 31) instead of
    // as narrow as possible.
    void SetFrameRectBits(int bits) { m_nFrameRectBits = bits; }
    // Writes this frame count instead of the number of frames shown.
    void SetFrameCount(WORD count) { m_nFrameCountOverride = count; }

    void SetBackgroundColor(SwfRgb colour, TagForm form = TagForm::Short);
    void DefineShape(WORD id, const CShape& shape);
    void PlaceObject(WORD depth, WORD id, const SwfMatrix& matrix = {});
    void MoveObject(WORD depth, const SwfMatrix& matrix);
    void RemoveObject(WORD depth);
    void DoAction(const CActionList& actions);
    void ShowFrame();
    void AddTag(WORD code, const std::vector<BYTE>& payload, TagForm form = TagForm::Short);

    WORD GetFramesShown() const { return m_nFramesShown; }

    // Frame header, tags and the End tag.
    std::vector<BYTE> Body() const;
    // The complete file.
    std::vector<BYTE> Build(const MovieFileLayout& layout = {}) const;

private:
    SwfRect m_frame {};
    WORD m_nFrameRate { 0 }; // 8.8 fixed point
    std::optional<int> m_nFrameRectBits {};
    std::optional<WORD> m_nFrameCountOverride {};
    WORD m_nFramesShown { 0 };
    std::vector<BYTE> m_tags {};
};
