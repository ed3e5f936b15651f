#include "picture_name.h"

namespace tovrel {
namespace {

// Writes a name piece by piece, always terminated; once a piece does not fit, out is left empty
// and the rest is ignored.
class NameWriter {
  public:
    NameWriter(char16_t* out, std::size_t capacity) : out_(out), capacity_(capacity) {
        if (capacity_ != 0) out_[0] = 0;
    }
    NameWriter& text(const char16_t* text) {
        for (; fits_ && *text != 0; ++text)
            put(*text);
        return *this;
    }
    // value in decimal, zero-padded to digits.
    NameWriter& number(int value, int digits) {
        char16_t text[12] = {};
        int at = 11;
        for (unsigned rest = value < 0 ? 0u : unsigned(value); rest != 0 || digits > 0;
             rest /= 10, --digits)
            text[--at] = char16_t(u'0' + rest % 10);
        return this->text(text + at);
    }
    bool fits() const { return fits_; }

  private:
    void put(char16_t c) {
        if (length_ + 1 >= capacity_) {
            fits_ = false;
            if (capacity_ != 0) out_[0] = 0;
            return;
        }
        out_[length_++] = c;
        out_[length_] = 0;
    }

    char16_t* out_;
    std::size_t capacity_;
    std::size_t length_ = 0;
    bool fits_ = true;
};

// Far beyond what a person saves in one second; a folder that answers "taken" to every name
// must not keep the program in a loop.
constexpr int kMostNumbers = 1000;

} // namespace

bool pictureName(const char16_t* folder, const PictureTime& time, int number, char16_t* out,
                 std::size_t capacity) {
    NameWriter name(out, capacity);
    name.text(folder).text(u"Tovrel ").number(time.year, 4).text(u"-").number(time.month, 2);
    name.text(u"-").number(time.day, 2).text(u" ").number(time.hour, 2).number(time.minute, 2);
    name.number(time.second, 2);
    if (number > 1) name.text(u" (").number(number, 1).text(u")");
    return name.text(u".png").fits();
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
