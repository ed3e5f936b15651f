#include "bmp_writer.h"

#include "file_io.h"

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

} // namespace

std::size_t bmpRowsSize(int width, int height) {
    return ((std::size_t(width) * 3 + 3) & ~std::size_t{3}) * std::size_t(height);
}

void packBmpRows(const std::uint32_t* pixels, int width, int height, unsigned char* rows) {
    const std::size_t stride = bmpRowsSize(width, 1);
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* from = pixels + std::size_t(height - 1 - y) * width;
        unsigned char* to = rows + stride * y;
        for (int x = 0; x < width; ++x, to += 3) {
            to[0] = static_cast<unsigned char>(from[x]);
            to[1] = static_cast<unsigned char>(from[x] >> 8);
            to[2] = static_cast<unsigned char>(from[x] >> 16);
        }
        for (std::size_t pad = std::size_t(width) * 3; pad < stride; ++pad)
            *to++ = 0;
    }
}

int writeBmp(const char16_t* path, const BitmapShape& shape, const void* pixels) {
    if (path == nullptr || shape.bmWidth <= 0 || shape.bmHeight <= 0) return 0;
    // The header holds 8 x bmBitsPixel in 16 bits; 0 would mean no pixel format at all.
    const std::uint32_t bytesPerPixel = shape.bmBitsPixel;
    if (bytesPerPixel == 0 || bytesPerPixel * 8 > 0xFFFF) return 0;

    const std::uint64_t stride =
        (std::uint64_t{bytesPerPixel} * static_cast<std::uint64_t>(shape.bmWidth) + 3) & ~3ull;
    const std::uint64_t pixelBytes = stride * static_cast<std::uint64_t>(shape.bmHeight);
    const std::uint64_t fileSize = kHeadersSize + pixelBytes;
    if (fileSize > 0xFFFFFFFFull || pixels == nullptr) return 0;

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
    put16(header + 28, 8 * bytesPerPixel);                          // bits per pixel

    ReplacingFile file(path);
    const bool ok = file.isOpen() && file.writeAll(header, sizeof header) &&
                    file.writeAll(pixels, pixelBytes) && file.commit();
    return ok ? 1 : 0;
}

} // namespace tovrel
