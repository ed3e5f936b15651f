// Writes a captured picture as an uncompressed 24-bit BMP file.
#pragma once

#include <cstddef>
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
    void* bmBits = nullptr;
};

// Bytes of the 24-bit rows of a width x height picture, each row padded to a multiple of 4.
std::size_t bmpRowsSize(int width, int height);
// How many such rows make about 256 KiB, at least one: a band made and written while it is still
// in the cache, and no second copy of the whole picture.
int bandRows(int width);
// The rows a 24-bit BMP file and a CF_DIB hold, from 32-bit pixels in top-down rows as a 32-bit
// DIB section holds them (blue in the low byte), a row every stride pixels (0: every width, one
// after the other): rows first to first + count - 1, counted from the bottom as the file stores
// them, of blue, green and red bytes, each padded with zeros to a multiple of 4. rows must have
// room for bmpRowsSize(width, count) bytes.
void packBmpRows(const std::uint32_t* pixels, int width, int height, int first, int count,
                 unsigned char* rows, std::size_t stride = 0);

// path: UTF-16, NUL-terminated. pixels: the picture as packBmpRows takes it, bmWidth x bmHeight
// with a row every stride pixels;
// shape: bmBitsPixel 3, the bytes per pixel of the file. The rows are made and written a band at
// a time, so that no second copy of the whole picture is needed. The file is built in a temporary
// beside path, flushed, and then replaces path in one step. Returns 1 when the whole file is
// safely in place at path, 0 otherwise; on failure no temporary is left and an existing file at
// path is left as it was. A shape with width or height <= 0, other bytes per pixel, or a file
// larger than the 32-bit size field can hold, returns 0 before anything is created.
int writeBmp(const char16_t* path, const BitmapShape& shape, const std::uint32_t* pixels,
             std::size_t stride = 0);

} // namespace tovrel
