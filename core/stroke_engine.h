// Turns the overlay's mouse events into drawing on the Canvas and the window, and takes strokes
// back and puts them back.
#pragma once

#include "surface.h"
#include "typed_text.h"
#include "undo_history.h"

#include <optional>

namespace tovrel {

class StrokeEngine {
  public:
    StrokeEngine(const DrawingSettings& settings, DragState& drag, OverlaySurfaces surfaces,
                 std::size_t historyCapacity = UndoHistory::kDefaultCapacity,
                 Allocator allocator = kCLibrary)
        : settings_(settings), drag_(drag), s_(surfaces),
          history_(surfaces.width, surfaces.height, historyCapacity, allocator) {}
    ~StrokeEngine() { finishText(), releasePen(); }
    StrokeEngine(const StrokeEngine&) = delete;
    StrokeEngine& operator=(const StrokeEngine&) = delete;

    // A press ends the stroke before it: a stroke is all that is drawn from one press to the next.
    // With the text tool it starts a text there.
    void onLeftButtonDown();
    void onMouseMove(std::uint32_t keyFlags, std::uint16_t clientX, std::uint16_t clientY);
    // The mosaic's outline goes and what it enclosed becomes the mosaic.
    void onLeftButtonUp() { finishMosaic(); }

    // Takes back the latest stroke, or puts back the last one taken back, on the Canvas and the
    // window; false when there is none. Not while the left button is held: the next move would
    // invert away a shape that is no longer there.
    bool undo() { return replay(true); }
    bool redo() { return replay(false); }
    std::size_t historyBytes() const { return history_.bytes(); }
    // Ends the stroke in progress; whether the Canvas shows any stroke now.
    bool showsStrokes() {
        endStroke();
        return history_.showsStrokes();
    }

    // Whether a text is open: characters typed go into it, drawn on the Canvas as the platform
    // draws the whole text over the picture as it was before it.
    bool typing() const { return text_.has_value(); }
    // A character message's UTF-16 unit, for the open text.
    void onChar(char16_t unit);
    // Closes the text; it stays on the Canvas as part of the stroke, which the next press or undo
    // ends.
    void finishText();
    // Where the open text's next character goes, and the height of its line.
    struct Caret {
        ScreenPoint at;
        int height;
    };
    Caret caret();

    // Puts the surfaces' own pens back and deletes the freehand pen, which
    // otherwise stays selected between pen steps. Call before the surfaces go.
    void releasePen();

    // Copies the whole Canvas to the window.
    void refreshOverlay();

  private:
    // A step changes pixels only near the shapes' defining points.
    struct Bounds {
        int left, top, right, bottom; // inclusive
        explicit Bounds(Point16 p) : left(p.x), top(p.y), right(p.x), bottom(p.y) {}
        Bounds& add(int x, int y);
    };
    // What a step may change, on the screen, kept for undo before the step draws.
    PixelRect changing(Bounds shapes);
    void copyToWindow(PixelRect area);
    PixelRect clipped(PixelRect area) const;
    void startText(Point16 at);
    // Measures the text, in the open text's font and colour at its place, or draws it.
    PixelRect textBox(const char16_t* text, std::size_t length, bool draw);
    // The cursor is read on the screen; the messages and the Canvas use the overlay's coordinates.
    ScreenPoint cursorInOverlay();
    bool replay(bool back);
    // Ends the stroke: a mosaic whose release never arrived (a menu took it) is made, and the open
    // text closed, before the history records it.
    void endStroke();
    // Draws on the Canvas under R2_NOT with a pen of this style and width and the hollow brush.
    template <typename Draw> void invert(int style, int width, Draw draw);
    void penStep();
    void lineStep(Point16 p);
    void shapeStep(Point16 p);
    void arrowStep(Point16 p);
    void mosaicStep(Point16 p);
    void finishMosaic();

    const DrawingSettings& settings_;
    DragState& drag_;
    OverlaySurfaces s_;
    UndoHistory history_;
    struct Text {
        Point16 at; // the first line's top-left corner
        ColorRef colour;
        GdiObject font;
        int lineHeight;
        PixelRect shown; // what its last drawing may have changed
        TypedText typed;
    };
    std::optional<Text> text_;
    GdiObject freehandPen_ = nullptr;
    GdiObject canvasOriginalPen_ = nullptr;
    GdiObject windowOriginalPen_ = nullptr;
    // The mosaic's outline on the Canvas: a tool command may reset the drag's start meanwhile.
    bool outlineShown_ = false;
    Point16 outlineFrom_, outlineTo_;
};

} // namespace tovrel
