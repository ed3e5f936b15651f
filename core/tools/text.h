// 文字: a press opens a text there; each character typed draws the whole text again.
#pragma once

#include "tool.h"
#include "typed_text.h"

#include <optional>

namespace tovrel {

class TextTool final : public Tool {
  public:
    void press(ToolContext& c) override;
    void endStroke(ToolContext& c) override { finish(c); }

    // Whether a text is open: characters typed go into it.
    bool typing() const { return text_.has_value(); }
    // A character message's UTF-16 unit, drawn on the Canvas as the platform draws the whole text
    // over the picture as it was before it.
    void type(ToolContext& c, char16_t unit);
    // Closes the text; it stays on the Canvas as part of the stroke.
    void finish(ToolContext& c);
    // Where the open text's next character goes, and the height of its line.
    struct Caret {
        ScreenPoint at;
        int height;
    };
    Caret caret(ToolContext& c);

  private:
    // Measures the text, in the open text's font and colour at its place, or draws it.
    PixelRect textBox(ToolContext& c, const char16_t* text, std::size_t length, bool draw);

    struct Text {
        Point16 at; // the first line's top-left corner
        ColorRef colour;
        GdiObject font;
        int lineHeight;
        PixelRect shown; // what its last drawing may have changed
        TypedText typed;
    };
    std::optional<Text> text_;
};

} // namespace tovrel
