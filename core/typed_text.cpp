#include "typed_text.h"

#include <algorithm>
#include <cstdlib>

namespace tovrel {

namespace {

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

TypedText::~TypedText() {
    std::free(text_);
}

// Out of memory, nothing is added: the character is not typed.
bool TypedText::append(const char16_t* units, std::size_t count) {
    if (length_ + count + 1 > capacity_) {
        const std::size_t more = std::max(length_ + count + 1, 2 * capacity_ + 64);
        void* bigger = std::realloc(text_, sizeof(char16_t) * more);
        if (!bigger) return false;
        text_ = static_cast<char16_t*>(bigger);
        capacity_ = more;
    }
    std::copy_n(units, count, text_ + length_);
    length_ += count;
    text_[length_] = 0;
    return true;
}

bool TypedText::type(char16_t unit) {
    if (unit == u'\r') {
        if (!append(u"\r\n", 2)) return false;
        ++lines_;
        return true;
    }
    if (unit == u'\b') {
        if (length_ == 0) return false;
        std::size_t cut = 1;
        if (length_ >= 2 && text_[length_ - 2] == u'\r' && text_[length_ - 1] == u'\n')
            cut = 2, --lines_;
        else if (length_ >= 2 && isHighSurrogate(text_[length_ - 2]) &&
                 isLowSurrogate(text_[length_ - 1]))
            cut = 2;
        length_ -= cut;
        text_[length_] = 0;
        return true;
    }
    if (unit < 0x20 || unit == 0x7F) return false;
    return append(&unit, 1) && !isHighSurrogate(unit);
}

std::size_t TypedText::lastLineStart() const {
    std::size_t start = length_;
    while (start > 0 && text_[start - 1] != u'\n')
        --start;
    return start;
}

} // namespace tovrel
