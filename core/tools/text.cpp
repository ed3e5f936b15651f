#include "text.h"

#include <algorithm>

namespace tovrel {

// The characters' height, 24 pixels or 36 after the thick line, at 96 dots per inch.
void TextTool::press(ToolContext& c) {
    const int height = c.scaled(c.settings.penWidth == 2 ? 36 : 24);
    text_.emplace();
    text_->at = c.drag.start;
    text_->colour = c.settings.penColour;
    text_->font = c.s.platform.CreateFontW(height, FONT_WEIGHT_NORMAL);
    const PixelRect line = textBox(c, u" ", 1, false);
    text_->lineHeight = line.bottom - line.top;
}

PixelRect TextTool::textBox(ToolContext& c, const char16_t* text, std::size_t length, bool draw) {
    Surface& canvas = c.s.canvas;
    const Selected font(c.s.platform, canvas, text_->font, false); // the text's own, kept open
    const ColorRef oldColour = canvas.SetTextColor(text_->colour);
    PixelRect box = {text_->at.x, text_->at.y, text_->at.x, text_->at.y};
    canvas.DrawTextW(text, int(length), box,
                     TEXT_NOPREFIX | TEXT_NOCLIP | (draw ? 0 : TEXT_CALCRECT));
    canvas.SetTextColor(oldColour);
    return box;
}

// Each character draws the whole text again over the picture as it was before the text: smoothed
// text drawn over itself would grow bolder. Glyphs may reach a little beyond the box the platform
// measures, hence the margin.
void TextTool::type(ToolContext& c, char16_t unit) {
    if (!text_ || !text_->typed.type(unit)) return;
    const PixelRect box = textBox(c, text_->typed.text(), text_->typed.length(), false);
    const int margin = text_->lineHeight / 2;
    const PixelRect now = {box.left - margin, box.top - margin, box.right + margin,
                           box.bottom + margin};
    const PixelRect& was = text_->shown;
    const PixelRect area = c.clipped(
        was.left == was.right
            ? now
            : PixelRect{std::min(was.left, now.left), std::min(was.top, now.top),
                        std::max(was.right, now.right), std::max(was.bottom, now.bottom)});
    std::uint32_t* canvas = c.s.canvas.Bits();
    c.history.keep(canvas, area);
    c.history.restore(canvas, was);
    textBox(c, text_->typed.text(), text_->typed.length(), true);
    c.show(area);
    text_->shown = now;
}

void TextTool::finish(ToolContext& c) {
    if (!text_) return;
    c.s.platform.DeleteObject(text_->font);
    text_.reset();
}

TextTool::Caret TextTool::caret(ToolContext& c) {
    if (!text_) return {};
    const std::size_t start = text_->typed.lastLineStart();
    const PixelRect box =
        textBox(c, text_->typed.text() + start, text_->typed.length() - start, false);
    return {{box.right, text_->at.y + (text_->typed.lines() - 1) * text_->lineHeight},
            text_->lineHeight};
}

} // namespace tovrel
