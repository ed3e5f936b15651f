#include "bmp_writer.h"

#include "file_io.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace tovrel {
namespace {

constexpr std::uint32_t kHeadersSize = 14 + 40;

void put16(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value & 0xFF);
    at[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

void put32(unsigned char* at, std::uint32_t value) {
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

// Straight into the row: words gathered in an array first went through the stack and were
// read back 8 bytes at a time, a stall that made the packing four times slower.
void storeWord(unsigned char* at, std::uint32_t word) {
    std::memcpy(at, &word, sizeof word);
}

} // namespace

std::size_t bmpRowsSize(int width, int height) {
    return ((std::size_t(width) * 3 + 3) & ~std::size_t{3}) * std::size_t(height);
}

int bandRows(int width) {
    return static_cast<int>(std::max<std::size_t>(1, (256 << 10) / bmpRowsSize(width, 1)));
}

void packBmpRows(const std::uint32_t* pixels, int width, int height, int first, int count,
                 unsigned char* rows, std::size_t stride) {
    static_assert(std::endian::native == std::endian::little, "words are stored byte by byte");
    const std::size_t rowBytes = bmpRowsSize(width, 1);
    if (stride == 0) stride = std::size_t(width);
    for (int row = first; row < first + count; ++row) {
        const std::uint32_t* from = pixels + std::size_t(height - 1 - row) * stride;
        unsigned char* to = rows + rowBytes * (row - first);
        int x = 0;
        for (; x + 4 <= width; x += 4, to += 12) { // four pixels fill three whole words
            storeWord(to, (from[x] & 0xFFFFFF) | from[x + 1] << 24);
            storeWord(to + 4, (from[x + 1] >> 8 & 0xFFFF) | from[x + 2] << 16);
            storeWord(to + 8, (from[x + 2] >> 16 & 0xFF) | from[x + 3] << 8);
        }
        for (; x < width; ++x, to += 3)
            std::memcpy(to, &from[x], 3);
        std::memset(to, 0, rowBytes - std::size_t(width) * 3);
    }
}

int writeBmp(const char16_t* path, const BitmapShape& shape, const std::uint32_t* pixels,
             std::size_t stride) {
    if (path == nullptr || pixels == nullptr || shape.bmWidth <= 0 || shape.bmHeight <= 0 ||
        shape.bmBitsPixel != 3)
        return 0;
    const std::uint64_t rowBytes = bmpRowsSize(shape.bmWidth, 1);
    const std::uint64_t fileSize = kHeadersSize + rowBytes * std::uint64_t(shape.bmHeight);
    if (fileSize > 0xFFFFFFFFull) return 0;

    unsigned char header[kHeadersSize] = {}; // every field not set below is 0
    // BITMAPFILEHEADER
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, static_cast<std::uint32_t>(fileSize));
    put32(header + 10, kHeadersSize); // offset of the pixel data
    // BITMAPINFOHEADER; compression BI_RGB, image size, resolution and colour counts stay 0.
    put32(header + 14, 40);
    put32(header + 18, static_cast<std::uint32_t>(shape.bmWidth));
    put32(header + 22, static_cast<std::uint32_t>(shape.bmHeight)); // positive: bottom-up rows
    put16(header + 26, 1);                                          // planes
    put16(header + 28, 8 * shape.bmBitsPixel);                      // bits per pixel

    const int band = bandRows(shape.bmWidth);
    void* rows = std::malloc(static_cast<std::size_t>(rowBytes) * band);
    if (!rows) return 0;
    ReplacingFile file(path);
    bool ok = file.isOpen() && file.writeAll(header, sizeof header);
    for (int first = 0; ok && first < shape.bmHeight; first += band) {
        const int count = std::min(band, shape.bmHeight - first);
        packBmpRows(pixels, shape.bmWidth, shape.bmHeight, first, count,
                    static_cast<unsigned char*>(rows), stride);
        ok = file.writeAll(rows, rowBytes * std::uint64_t(count));
    }
    std::free(rows);
    return ok && file.commit() ? 1 : 0;
}

} // namespace tovrel
