#include "clipboard.h"

#include "bmp_writer.h"

namespace {

// The rows behind a bitmap header, in memory the clipboard takes over; null when out of memory.
HGLOBAL packDib(const std::uint32_t* pixels, int width, int height, std::size_t stride) {
    const std::size_t rows = tovrel::bmpRowsSize(width, height);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER) + rows);
    auto* header = memory ? static_cast<BITMAPINFOHEADER*>(GlobalLock(memory)) : nullptr;
    if (!header) {
        if (memory) GlobalFree(memory);
        return nullptr;
    }
    *header = {};
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height; // positive: bottom-up rows
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biCompression = BI_RGB;
    header->biSizeImage = static_cast<DWORD>(rows);
    tovrel::packBmpRows(pixels, width, height, 0, height,
                        reinterpret_cast<unsigned char*>(header + 1), stride);
    GlobalUnlock(memory);
    return memory;
}

// Another program may have the clipboard open for a moment; it is tried for about a second.
bool openClipboard(HWND owner) {
    for (int attempt = 0; !OpenClipboard(owner); ++attempt) {
        if (attempt == 20) return false;
        Sleep(50);
    }
    return true;
}

} // namespace

bool copyPixelsToClipboard(HWND owner, const std::uint32_t* pixels, int width, int height,
                           std::size_t stride) {
    HGLOBAL dib = packDib(pixels, width, height, stride);
    if (!dib) return false;
    if (!openClipboard(owner)) {
        GlobalFree(dib);
        return false;
    }
    // Placed now rather than rendered on request, so the picture outlives the overlay and the
    // program; the system makes the other bitmap formats from it.
    const bool placed = EmptyClipboard() && SetClipboardData(CF_DIB, dib);
    CloseClipboard();
    if (!placed) GlobalFree(dib);
    return placed;
}
