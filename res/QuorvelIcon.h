#pragma once

#include "platform/Types.h"

#include <span>

// The Quorvel icon, 48 x 48 pixels, as a PNG file: an orange ring with a
// tail on the night blue of the sample movie. Drawn once, on first use.
std::span<const BYTE> QuorvelIconPng();
