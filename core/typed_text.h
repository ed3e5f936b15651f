// The characters of a text being typed, in UTF-16 as the system hands them over, lines separated
// by CR LF. Typing only ever adds or takes away at the end, where the caret is.
#pragma once

#include <cstddef>

namespace tovrel {

class TypedText {
  public:
    TypedText() = default;
    ~TypedText();
    TypedText(const TypedText&) = delete;
    TypedText& operator=(const TypedText&) = delete;

    // One UTF-16 unit as a character message brings it: CR starts a new line, backspace takes away
    // the last character (a surrogate pair as one, a line break as one), other control characters
    // are not text. False when what is to be shown has not changed, as for the first half of a
    // surrogate pair.
    bool type(char16_t unit);

    const char16_t* text() const { return text_ ? text_ : u""; }
    std::size_t length() const { return length_; }
    // Where the last line starts.
    std::size_t lastLineStart() const;
    int lines() const { return lines_; }

  private:
    bool append(const char16_t* units, std::size_t count);

    char16_t* text_ = nullptr; // zero-terminated
    std::size_t length_ = 0, capacity_ = 0;
    int lines_ = 1;
};

} // namespace tovrel
