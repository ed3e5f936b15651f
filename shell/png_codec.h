// PNG pictures through the Windows Imaging Component, which is part of Windows: no image or zlib
// library of the program's own. COM must be initialised on the calling thread.
#pragma once

#include <windows.h>

#include <objidl.h>

#include <cstddef>
#include <cstdint>

// Encodes width x height 32-bit top-down pixels (blue in the low byte, the top byte ignored), a row
// every stride pixels (0: every width), into out as an 8-bit RGB PNG, not interlaced, handing the
// encoder 24-bit rows a band at a time. False on any failure, with out holding part of a picture.
bool encodePng(const std::uint32_t* pixels, int width, int height, IStream* out,
               std::size_t stride = 0);

// Decodes the PNG of size bytes at png into the 32-bit top-down pixels that pixelsFor returns for
// its size (null to give up). False on any failure.
struct PixelsFor {
    virtual std::uint32_t* operator()(int width, int height) = 0;
};
bool decodePng(const unsigned char* png, std::size_t size, PixelsFor& pixelsFor);
