// The names Ctrl+S gives its pictures: the time of the press, and a number when that is taken.
#pragma once

#include "file_io.h"

#include <cstddef>

namespace tovrel {

// Local time, to the second.
struct PictureTime {
    int year, month, day, hour, minute, second;
};

// folder (ending in a separator) then "Tovrel YYYY-MM-DD HHMMSS.png", with " (number)" before
// ".png" from 2 on, into out; false when it does not fit in capacity.
bool pictureName(const char16_t* folder, const PictureTime& time, int number, char16_t* out,
                 std::size_t capacity);

// Hands place(context, name) the names for time in turn, from the plain one on, until one is not
// taken; out then holds it. False when place failed, a name did not fit, or too many were taken.
bool placeUnderFreeName(const char16_t* folder, const PictureTime& time,
                        Placing (*place)(void* context, const char16_t* name), void* context,
                        char16_t* out, std::size_t capacity);

} // namespace tovrel
