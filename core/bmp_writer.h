// Writes a captured picture as an uncompressed 24-bit BMP file.
#pragma once

#include <cstdint>

namespace tovrel {

// The platform's BITMAP record as the save command fills it.
struct BitmapShape {
    std::int32_t bmType;
    std::int32_t bmWidth;
    std::int32_t bmHeight;
    std::int32_t bmWidthBytes;
    std::uint16_t bmPlanes;
    std::uint16_t bmBitsPixel; // bytes per pixel (3), not bits
    void* bmBits;
};

// pixels: bmHeight bottom-up rows, each padded to a multiple of 4 bytes.
// Returns 1 when the whole file is safely in place at path, 0 otherwise; on
// failure an existing file at path is left as it was.
int writeBmp(const char16_t* path, const BitmapShape& shape, const void* pixels);

} // namespace tovrel
