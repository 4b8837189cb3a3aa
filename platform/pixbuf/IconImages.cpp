#include "platform/pixbuf/IconImages.h"

#include <algorithm>
#include <cstdint>
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
    if (std::uint64_t(png.width) * png.height > MaxIconPixels || png.width > MaxIconSide
        || png.height > MaxIconSide) {
        png_image_free(&png);
        error = "larger than " + std::to_string(MaxIconPixels) + " pixels (4096 x 4096)";
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

PixbufPtr SquareIcon(GdkPixbuf* image, int size)
{
    // Scaled first, so that a long thin image never makes a large square.
    int width = gdk_pixbuf_get_width(image);
    int height = gdk_pixbuf_get_height(image);
    int longer = std::max(width, height);
    int scaledWidth = std::max(1, int(std::int64_t(width) * size / longer));
    int scaledHeight = std::max(1, int(std::int64_t(height) * size / longer));
    PixbufPtr scaled(scaledWidth == width && scaledHeight == height
            ? GDK_PIXBUF(g_object_ref(image))
            : gdk_pixbuf_scale_simple(image, scaledWidth, scaledHeight, GDK_INTERP_HYPER));
    if (!scaled)
        return nullptr;
    // The image keeps its own alpha; one without is opaque.
    PixbufPtr withAlpha(gdk_pixbuf_add_alpha(scaled.get(), FALSE, 0, 0, 0));
    PixbufPtr square(gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, size, size));
    if (!withAlpha || !square)
        return nullptr;
    gdk_pixbuf_fill(square.get(), 0x00000000);
    gdk_pixbuf_copy_area(withAlpha.get(), 0, 0, scaledWidth, scaledHeight, square.get(),
        (size - scaledWidth) / 2, (size - scaledHeight) / 2);
    return square;
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
