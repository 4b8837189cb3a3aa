#pragma once

#include "platform/Types.h"

#include <optional>
#include <span>

// The colour a movie gives its stage in its first frame: the body of the
// first SetBackgroundColor tag among the root tags before the first
// ShowFrame, as 0x00RRGGBB. Only the first such tag of a movie counts, so a
// player given this colour from the start shows the movie as it would
// itself, without the engine's own colour before that tag runs.
//
// Nothing when the first frame sets no colour, or when the movie cannot be
// read that far: of a compressed movie at most `limit` bytes of body are
// decoded, so that finding the colour never holds the start up.
std::optional<DWORD> FirstFrameStageColour(std::span<const BYTE> movie, std::size_t limit = 64 * 1024);
