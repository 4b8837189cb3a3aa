#include "platform/pixbuf/IconImages.h"

#include <algorithm>
#include <cstring>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <png.h>

namespace platform {

namespace {

constexpr BYTE PngSignature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };

} // namespace

void PixbufRelease::operator()(GdkPixbuf* pixbuf) const
{
    if (pixbuf)
        g_object_unref(pixbuf);
}

PixbufPtr DecodePng(std::span<const BYTE> bytes, std::string& error)
{
    if (bytes.size() < sizeof PngSignature
        || std::memcmp(bytes.data(), PngSignature, sizeof PngSignature) != 0) {
        error = "not a PNG";
        return nullptr;
    }
    // libpng reads every row and checks every chunk's checksum: a file cut
    // short or damaged anywhere fails here, where gdk-pixbuf's loader would
    // give the rows it got.
    png_image png {};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) {
        error = std::string("a damaged PNG: ") + png.message;
        return nullptr;
    }
    if (png.width > MaxIconSide || png.height > MaxIconSide) {
        png_image_free(&png);
        error
            = "larger than " + std::to_string(MaxIconSide) + " x " + std::to_string(MaxIconSide) + " pixels";
        return nullptr;
    }
    png.format = PNG_FORMAT_RGBA;
    PixbufPtr image(gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, int(png.width), int(png.height)));
    if (!image) {
        png_image_free(&png);
        error = "no memory for the image";
        return nullptr;
    }
    if (!png_image_finish_read(&png, nullptr, gdk_pixbuf_get_pixels(image.get()),
            png_int_32(gdk_pixbuf_get_rowstride(image.get())), nullptr)) {
        error = std::string("a damaged PNG: ") + png.message;
        return nullptr;
    }
    return image;
}

PixbufPtr PadToSquare(GdkPixbuf* image)
{
    int width = gdk_pixbuf_get_width(image);
    int height = gdk_pixbuf_get_height(image);
    if (width == height)
        return PixbufPtr(GDK_PIXBUF(g_object_ref(image)));
    int side = std::max(width, height);
    PixbufPtr square(gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, side, side));
    if (!square)
        return nullptr;
    gdk_pixbuf_fill(square.get(), 0x00000000);
    // Copying keeps the image's own alpha; an image without one is opaque.
    PixbufPtr withAlpha(gdk_pixbuf_add_alpha(image, FALSE, 0, 0, 0));
    if (!withAlpha)
        return nullptr;
    gdk_pixbuf_copy_area(
        withAlpha.get(), 0, 0, width, height, square.get(), (side - width) / 2, (side - height) / 2);
    return square;
}

PixbufPtr ScaleSquare(GdkPixbuf* square, int size)
{
    if (gdk_pixbuf_get_width(square) == size)
        return PixbufPtr(GDK_PIXBUF(g_object_ref(square)));
    return PixbufPtr(gdk_pixbuf_scale_simple(square, size, size, GDK_INTERP_HYPER));
}

std::string EncodePng(GdkPixbuf* image)
{
    gchar* buffer = nullptr;
    gsize size = 0;
    if (!gdk_pixbuf_save_to_buffer(image, &buffer, &size, "png", nullptr, nullptr))
        return {};
    std::string bytes(buffer, size);
    g_free(buffer);
    return bytes;
}

} // namespace platform
