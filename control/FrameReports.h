#pragma once

#include "platform/Types.h"

#include <optional>
#include <span>
#include <vector>

// The engine inside our control has no way to ask which frame the root
// timeline shows. So before a movie reaches it, every root frame of an
// ActionScript 1/2 movie gets one more action at its start: an FSCommand
// named FrameReportCommand whose argument is the frame's number, counted
// from 0. The control takes these for itself and never passes them on.
//
// Movies it cannot rewrite (ActionScript 3, LZMA-compressed, damaged) come
// back as nothing and are played as they are, without frame reports.

inline constexpr const char* FrameReportCommand = "quorvel:frame";

std::optional<std::vector<BYTE>> AddFrameReports(std::span<const BYTE> movie);
