#include "kept_picture.h"

#include "memory_stream.h"

#include <cstdlib>

namespace {

unsigned char* g_png = nullptr;
std::size_t g_size = 0;
POINT g_origin = {};

} // namespace

void keepPicture(const std::uint32_t* pixels, int width, int height, POINT origin) {
    forgetKeptPicture();
    g_origin = origin;
    MemoryStream png;
    if (!encodePng(pixels, width, height, &png)) return;
    // In one block of its exact size: the stream's chunks would hold up to one more chunk.
    if (!(g_png = static_cast<unsigned char*>(std::malloc(std::size_t(png.size()))))) return;
    png.copyTo(g_png);
    g_size = std::size_t(png.size());
}

bool pictureKept() {
    return g_png != nullptr;
}

POINT keptPictureOrigin() {
    return g_origin;
}

bool bringBackPicture(PixelsFor& into) {
    if (!g_png || !decodePng(g_png, g_size, into)) return false;
    forgetKeptPicture();
    return true;
}

void forgetKeptPicture() {
    std::free(g_png);
    g_png = nullptr;
    g_size = 0;
}
