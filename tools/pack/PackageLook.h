#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>

// How a packaged player shows itself: its title (string 1, IDS_TITLE) and
// its icon (icon group 128, IDR_MAINFRAME, one PNG), carried in its resource
// table when `build --title` and `--icon` gave them. A player without them
// shows Quorvel's, the built-in ones.

constexpr std::size_t MaxTitleBytes = 256;

// Why `title` cannot be a title: not UTF-8, longer than MaxTitleBytes, a
// control character; empty when it can.
std::string TitleProblem(const std::string& title);

struct CarriedLook {
    std::optional<std::string> title {};
    std::optional<std::span<const BYTE>> icon {};
};

// The title and icon in the resource table at the end of `image`.
CarriedLook FindCarriedLook(std::span<const BYTE> image);

// The title and icon the player shows: the carried ones, else Quorvel's.
std::string ShownTitle(const CarriedLook& look);
std::span<const BYTE> ShownIcon(const CarriedLook& look);

// The width and height a PNG's header gives; nothing for a file too short for one.
std::optional<std::pair<DWORD, DWORD>> PngSize(std::span<const BYTE> png);
