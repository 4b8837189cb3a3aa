#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

typedef struct _GdkPixbuf GdkPixbuf;

// The images of an icon group. A group is one PNG of any size; the desktop
// gets it centred on a transparent square of its longer side and scaled to
// each of IconSizes.
namespace platform {

// Drops a reference it holds on a pixbuf.
struct PixbufRelease {
    void operator()(GdkPixbuf* pixbuf) const;
};
using PixbufPtr = std::unique_ptr<GdkPixbuf, PixbufRelease>;

// The sizes, in pixels a side, at which an icon is offered to the desktop.
constexpr int IconSizes[] = { 16, 24, 32, 48, 64, 128, 256 };
// The largest of them a window carries: GDK leaves out of a window's
// _NET_WM_ICON the images that would make the property too large for one
// X request, 256 among them.
constexpr int MaxWindowIconSize = 128;

// The largest icon taken, in pixels, and its longest side (a side that
// gdk-pixbuf's rows of four bytes a pixel still hold).
constexpr std::uint64_t MaxIconPixels = 4096 * 4096;
constexpr unsigned MaxIconSide = 1u << 24;

// `bytes` decoded as a PNG, every row of it, with its checksums; null with
// the reason in `error` ("not a PNG", "a damaged PNG: " and what the decoder
// found, or larger than MaxIconPixels).
PixbufPtr DecodePng(std::span<const BYTE> bytes, std::string& error);

// `image` scaled, keeping its proportions, until its longer side is `size`,
// and centred on a transparent `size` x `size` square.
PixbufPtr SquareIcon(GdkPixbuf* image, int size);

// `image` as a PNG file's bytes; empty when it cannot be encoded.
std::string EncodePng(GdkPixbuf* image);

} // namespace platform
