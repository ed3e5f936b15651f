// Copying the picture to the clipboard.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Puts width x height 32-bit top-down pixels, a row every stride pixels (0: every width), on the
// clipboard as a 24-bit CF_DIB, the rows a BMP file holds. False when the clipboard stayed held by
// another program for about a second, or memory ran out; the clipboard is then as it was.
bool copyPixelsToClipboard(HWND owner, const std::uint32_t* pixels, int width, int height,
                           std::size_t stride = 0);
