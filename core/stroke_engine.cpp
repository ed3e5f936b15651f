#include "stroke_engine.h"

#include "arrow.h"
#include "mosaic.h"

#include <algorithm>

namespace tovrel {

namespace {

// How far a drawn pixel can lie from a shape's defining points: half the widest pen any tool
// uses (3), its round end, and a margin for the platform's rounding.
constexpr int kPenReach = 4;

Point16 toPoint16(int x, int y) {
    return {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
}

} // namespace

StrokeEngine::Bounds& StrokeEngine::Bounds::add(int x, int y) {
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x);
    bottom = std::max(bottom, y);
    return *this;
}

void StrokeEngine::onLeftButtonDown() {
    endStroke();
    const ScreenPoint cursor = cursorInOverlay();
    const Point16 p = toPoint16(cursor.x, cursor.y);
    drag_.start = drag_.lastFreehand = drag_.lastRubber = p;
    if (settings_.tool == ToolText) startText(p);
}

void StrokeEngine::onMouseMove(std::uint32_t keyFlags, std::uint16_t clientX,
                               std::uint16_t clientY) {
    if (!(keyFlags & MK_LBUTTON_FLAG)) return;
    const Point16 p = toPoint16(clientX, clientY);
    switch (settings_.tool) {
    case ToolPen: penStep(); break;
    case ToolLine: lineStep(p); break;
    case ToolRectangle:
    case ToolEllipse: shapeStep(p); break;
    case ToolArrow: arrowStep(p); break;
    case ToolMosaic: mosaicStep(p); break;
    default: break;
    }
}

// Freehand segments are painted on both surfaces so no full-frame copy is needed.
// Each ends 2 pixels below the cursor while the next starts at the cursor itself.
void StrokeEngine::penStep() {
    const ScreenPoint cursor = cursorInOverlay();
    changing(Bounds(drag_.lastFreehand).add(cursor.x, cursor.y + 2));
    GdiObject pen = s_.platform.CreatePen(settings_.penStyle, 3, settings_.penColour);
    GdiObject previousCanvas = s_.canvas.SelectObject(pen);
    GdiObject previousWindow = s_.window.SelectObject(pen);
    if (freehandPen_) {
        s_.platform.DeleteObject(freehandPen_);
    } else {
        canvasOriginalPen_ = previousCanvas;
        windowOriginalPen_ = previousWindow;
    }
    freehandPen_ = pen;
    for (Surface* surface : {&s_.canvas, &s_.window}) {
        surface->MoveToEx(drag_.lastFreehand.x, drag_.lastFreehand.y);
        surface->LineTo(cursor.x, cursor.y + 2);
    }
    drag_.lastFreehand = toPoint16(cursor.x, cursor.y);
}

// The line tool has no pen of its own: it draws with whatever the Canvas holds,
// which is the freehand pen once the pen tool has drawn in this overlay.
void StrokeEngine::lineStep(Point16 p) {
    const PixelRect area =
        changing(Bounds(drag_.start).add(drag_.lastRubber.x, drag_.lastRubber.y).add(p.x, p.y));
    const int oldMode = s_.canvas.SetROP2(MIX_NOT);
    s_.canvas.MoveToEx(drag_.start.x, drag_.start.y);
    s_.canvas.LineTo(drag_.lastRubber.x, drag_.lastRubber.y);
    s_.canvas.MoveToEx(drag_.start.x, drag_.start.y);
    s_.canvas.LineTo(p.x, p.y);
    s_.canvas.SetROP2(oldMode);
    copyToWindow(area);
    drag_.lastRubber = p;
}

template <typename Draw> void StrokeEngine::invert(int style, int width, Draw draw) {
    GdiObject brush = s_.platform.GetStockObject(NULL_BRUSH_OBJECT);
    GdiObject pen = s_.platform.CreatePen(style, width, settings_.penColour);
    GdiObject oldPen = s_.canvas.SelectObject(pen);
    GdiObject oldBrush = s_.canvas.SelectObject(brush);
    const int oldMode = s_.canvas.SetROP2(MIX_NOT);
    draw(s_.canvas);
    s_.canvas.SetROP2(oldMode);
    s_.canvas.SelectObject(oldPen);
    s_.canvas.SelectObject(oldBrush);
    s_.platform.DeleteObject(pen);
}

void StrokeEngine::shapeStep(Point16 p) {
    const Point16 a = drag_.start;
    const Point16 b = drag_.lastRubber;
    const PixelRect area = changing(Bounds(a).add(b.x, b.y).add(p.x, p.y));
    invert(settings_.penStyle, settings_.penWidth, [&](Surface& canvas) {
        if (settings_.tool == ToolRectangle) {
            canvas.Rectangle(a.x, a.y, b.x, b.y);
            canvas.Rectangle(a.x, a.y, p.x, p.y);
        } else {
            canvas.Ellipse(a.x, a.y, b.x, b.y);
            canvas.Ellipse(a.x, a.y, p.x, p.y);
        }
    });
    copyToWindow(area);
    drag_.lastRubber = p;
}

// Both arrows take their tips with the sign, so the removal pass always meets the arrow drawn
// before, even for a tip beyond the screen's top or left edge.
void StrokeEngine::arrowStep(Point16 p) {
    Bounds shapes(drag_.start);
    for (Point16 tip : {drag_.lastRubber, p}) {
        shapes.add(tip.x, tip.y);
        if (const auto arrow = arrowGeometry(drag_.start, tip.x, tip.y))
            for (ScreenPoint corner : {arrow->foot, arrow->cornerA, arrow->cornerB})
                shapes.add(corner.x, corner.y);
    }
    const PixelRect area = changing(shapes);
    const int oldMode = s_.canvas.SetROP2(MIX_NOT);
    for (Point16 tip : {drag_.lastRubber, p})
        drawArrow(s_.platform, s_.canvas, settings_, drag_.start, tip.x, tip.y);
    s_.canvas.SetROP2(oldMode);
    copyToWindow(area);
    drag_.lastRubber = p;
}

// The outline is the rectangle tool's at width 1, whatever the pen.
void StrokeEngine::mosaicStep(Point16 p) {
    const Point16 a = drag_.start;
    Bounds shapes = Bounds(a).add(p.x, p.y);
    if (outlineShown_) shapes.add(outlineFrom_.x, outlineFrom_.y).add(outlineTo_.x, outlineTo_.y);
    const PixelRect area = changing(shapes);
    invert(PenStyleSolid, 1, [&](Surface& canvas) {
        if (outlineShown_)
            canvas.Rectangle(outlineFrom_.x, outlineFrom_.y, outlineTo_.x, outlineTo_.y);
        canvas.Rectangle(a.x, a.y, p.x, p.y);
    });
    copyToWindow(area);
    outlineShown_ = true, outlineFrom_ = a, outlineTo_ = drag_.lastRubber = p;
}

void StrokeEngine::finishMosaic() {
    if (!outlineShown_) return;
    outlineShown_ = false;
    const Point16 a = outlineFrom_, b = outlineTo_;
    const PixelRect area = changing(Bounds(a).add(b.x, b.y));
    invert(PenStyleSolid, 1, [&](Surface& canvas) { canvas.Rectangle(a.x, a.y, b.x, b.y); });
    applyMosaic(s_.canvas.Bits(), s_.width, s_.height,
                {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)},
                mosaicBlock(s_.dpi));
    copyToWindow(area);
}

void StrokeEngine::endStroke() {
    finishMosaic();
    finishText();
    history_.endStroke(s_.canvas.Bits());
}

// The characters' height, 24 pixels or 36 after the thick line, at 96 dots per inch.
void StrokeEngine::startText(Point16 at) {
    const int height = ((settings_.penWidth == 2 ? 36 : 24) * s_.dpi + 48) / 96;
    text_.emplace();
    text_->at = at;
    text_->colour = settings_.penColour;
    text_->font = s_.platform.CreateFontW(height);
    const PixelRect line = textBox(u" ", 1, false);
    text_->lineHeight = line.bottom - line.top;
}

PixelRect StrokeEngine::textBox(const char16_t* text, std::size_t length, bool draw) {
    GdiObject oldFont = s_.canvas.SelectObject(text_->font);
    const ColorRef oldColour = s_.canvas.SetTextColor(text_->colour);
    PixelRect box = {text_->at.x, text_->at.y, text_->at.x, text_->at.y};
    s_.canvas.DrawTextW(text, int(length), box, !draw);
    s_.canvas.SetTextColor(oldColour);
    s_.canvas.SelectObject(oldFont);
    return box;
}

// Each character draws the whole text again over the picture as it was before the text: smoothed
// text drawn over itself would grow bolder. Glyphs may reach a little beyond the box the platform
// measures, hence the margin.
void StrokeEngine::onChar(char16_t unit) {
    if (!text_ || !text_->typed.type(unit)) return;
    const PixelRect box = textBox(text_->typed.text(), text_->typed.length(), false);
    const int margin = text_->lineHeight / 2;
    const PixelRect now = {box.left - margin, box.top - margin, box.right + margin,
                           box.bottom + margin};
    const PixelRect& was = text_->shown;
    const PixelRect area =
        clipped(was.left == was.right
                    ? now
                    : PixelRect{std::min(was.left, now.left), std::min(was.top, now.top),
                                std::max(was.right, now.right), std::max(was.bottom, now.bottom)});
    std::uint32_t* canvas = s_.canvas.Bits();
    history_.keep(canvas, area);
    history_.restore(canvas, was);
    textBox(text_->typed.text(), text_->typed.length(), true);
    copyToWindow(area);
    text_->shown = now;
}

void StrokeEngine::finishText() {
    if (!text_) return;
    s_.platform.DeleteObject(text_->font);
    text_.reset();
}

StrokeEngine::Caret StrokeEngine::caret() {
    if (!text_) return {};
    const std::size_t start = text_->typed.lastLineStart();
    const PixelRect box =
        textBox(text_->typed.text() + start, text_->typed.length() - start, false);
    return {{box.right, text_->at.y + (text_->typed.lines() - 1) * text_->lineHeight},
            text_->lineHeight};
}

ScreenPoint StrokeEngine::cursorInOverlay() {
    return toOverlay(s_.platform.GetCursorPos(), s_.origin);
}

PixelRect StrokeEngine::clipped(PixelRect a) const {
    return {std::max(a.left, 0), std::max(a.top, 0), std::min(a.right, s_.width),
            std::min(a.bottom, s_.height)};
}

PixelRect StrokeEngine::changing(Bounds shapes) {
    const PixelRect area = clipped({shapes.left - kPenReach, shapes.top - kPenReach,
                                    shapes.right + kPenReach + 1, shapes.bottom + kPenReach + 1});
    history_.keep(s_.canvas.Bits(), area);
    return area;
}

void StrokeEngine::copyToWindow(PixelRect area) {
    if (area.left < area.right && area.top < area.bottom)
        s_.window.BitBlt(area.left, area.top, area.right - area.left, area.bottom - area.top,
                         s_.canvas);
}

bool StrokeEngine::replay(bool back) {
    endStroke();
    PixelRect changed;
    std::uint32_t* canvas = s_.canvas.Bits();
    const bool done = back ? history_.undo(canvas, changed) : history_.redo(canvas, changed);
    if (done) copyToWindow(changed);
    return done;
}

void StrokeEngine::refreshOverlay() {
    s_.window.BitBlt(0, 0, s_.width, s_.height, s_.canvas);
}

void StrokeEngine::releasePen() {
    if (!freehandPen_) return;
    s_.canvas.SelectObject(canvasOriginalPen_);
    s_.window.SelectObject(windowOriginalPen_);
    s_.platform.DeleteObject(freehandPen_);
    freehandPen_ = nullptr;
}

} // namespace tovrel
