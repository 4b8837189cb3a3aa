#pragma once

#include "platform/Types.h"

#include <span>

// Whether a movie shows text in Chinese, Japanese or Korean: a character of
// those scripts (UTF-8) in any tag but the ones that carry pictures, sounds,
// video, shapes, glyphs or raw data, or a font named for those scripts
// ("SimSun", "MS Gothic", ...). The engine draws all device text of a movie
// in one font, so the control offers the system's CJK fonts only to movies
// that need them, and Latin text elsewhere keeps the engine's own font.
//
// Movies it cannot read (LZMA-compressed, damaged) count as needing them.
bool MovieShowsCjkText(std::span<const BYTE> movie);
