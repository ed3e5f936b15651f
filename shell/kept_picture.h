// The picture an overlay showed when it was thrown away, kept so that the tray's undo can bring it
// back. Kept as a PNG in memory: no GDI object, and a small part of the picture's size.
#pragma once

#include "png_codec.h"

#include <cstdint>

// Replaces the picture kept with this one, width x height 32-bit top-down pixels frozen at origin
// on the screen; keeps nothing when it cannot be compressed.
void keepPicture(const std::uint32_t* pixels, int width, int height, POINT origin);
bool pictureKept();
POINT keptPictureOrigin();
// Decodes the picture kept into the pixels that into gives for its size. It is no longer kept
// once this succeeds; false, and still kept, when it cannot be decoded.
bool bringBackPicture(PixelsFor& into);
void forgetKeptPicture();
