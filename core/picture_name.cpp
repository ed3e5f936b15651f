#include "picture_name.h"

namespace tovrel {
namespace {

// Appends text at out[length], keeping a terminator; false when it does not fit.
bool append(char16_t* out, std::size_t capacity, std::size_t& length, const char16_t* text) {
    for (; *text != 0; ++text) {
        if (length + 1 >= capacity) return false;
        out[length++] = *text;
    }
    out[length] = 0;
    return true;
}

// value in decimal, zero-padded to digits.
bool appendNumber(char16_t* out, std::size_t capacity, std::size_t& length, int value,
                  int digits) {
    char16_t text[12] = {};
    int at = 11;
    for (unsigned rest = value < 0 ? 0u : unsigned(value); rest != 0 || digits > 0;
         rest /= 10, --digits)
        text[--at] = char16_t(u'0' + rest % 10);
    return append(out, capacity, length, text + at);
}

// Far beyond what a person saves in one second; a folder that answers "taken" to every name
// must not keep the program in a loop.
constexpr int kMostNumbers = 1000;

} // namespace

bool pictureName(const char16_t* folder, const PictureTime& time, int number, char16_t* out,
                 std::size_t capacity) {
    std::size_t length = 0;
    if (capacity == 0) return false;
    out[0] = 0;
    const bool fits =
        append(out, capacity, length, folder) && append(out, capacity, length, u"Tovrel ") &&
        appendNumber(out, capacity, length, time.year, 4) && append(out, capacity, length, u"-") &&
        appendNumber(out, capacity, length, time.month, 2) &&
        append(out, capacity, length, u"-") && appendNumber(out, capacity, length, time.day, 2) &&
        append(out, capacity, length, u" ") && appendNumber(out, capacity, length, time.hour, 2) &&
        appendNumber(out, capacity, length, time.minute, 2) &&
        appendNumber(out, capacity, length, time.second, 2) &&
        (number < 2 || (append(out, capacity, length, u" (") &&
                        appendNumber(out, capacity, length, number, 1) &&
                        append(out, capacity, length, u")"))) &&
        append(out, capacity, length, u".png");
    if (!fits) out[0] = 0;
    return fits;
}

bool placeUnderFreeName(const char16_t* folder, const PictureTime& time,
                        Placing (*place)(void* context, const char16_t* name), void* context,
                        char16_t* out, std::size_t capacity) {
    for (int number = 1; number <= kMostNumbers; ++number) {
        if (!pictureName(folder, time, number, out, capacity)) return false;
        const Placing placed = place(context, out);
        if (placed != Placing::Taken) return placed == Placing::Placed;
    }
    return false;
}

} // namespace tovrel
