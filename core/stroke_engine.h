// Turns the overlay's mouse events into drawing on the Canvas and the window, and takes strokes
// back and puts them back. Each tool draws in a file of its own under tools/; the engine keeps
// what they share: the drag, the history, the copy to the window and the cursor's place.
#pragma once

#include "tools/arrow.h"
#include "tools/highlighter.h"
#include "tools/line.h"
#include "tools/marker.h"
#include "tools/mosaic.h"
#include "tools/part.h"
#include "tools/pen.h"
#include "tools/shapes.h"
#include "tools/text.h"
#include "undo_history.h"

namespace tovrel {

class StrokeEngine {
  public:
    StrokeEngine(const DrawingSettings& settings, DragState& drag, OverlaySurfaces surfaces,
                 std::size_t historyCapacity = UndoHistory::kDefaultCapacity,
                 Allocator allocator = kCLibrary)
        : history_(surfaces.width, surfaces.height, historyCapacity, allocator),
          c_(settings, drag, surfaces, history_) {}
    ~StrokeEngine() { finishText(), releasePen(); }
    StrokeEngine(const StrokeEngine&) = delete;
    StrokeEngine& operator=(const StrokeEngine&) = delete;

    // A press ends the stroke before it: a stroke is all that is drawn from one press to the next.
    // With the text tool it starts a text there.
    void onLeftButtonDown();
    void onMouseMove(std::uint32_t keyFlags, std::uint16_t clientX, std::uint16_t clientY);
    // The mosaic's outline goes and what it enclosed becomes the mosaic.
    void onLeftButtonUp();

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

    // Makes the mosaic whose drag is still open (the left button held) as its release would, and
    // leaves the stroke and other tools' outlines as they are: before anything takes the picture
    // out or away, which must never hold what the mosaic was to cover.
    void finishMosaic() { mosaic_.finish(c_); }

    // Whether a text is open: characters typed go into it, drawn on the Canvas as the platform
    // draws the whole text over the picture as it was before it.
    bool typing() const { return text_.typing(); }
    // A character message's UTF-16 unit, for the open text.
    void onChar(char16_t unit) { text_.type(c_, unit); }
    // Closes the text; it stays on the Canvas as part of the stroke, which the next press or undo
    // ends.
    void finishText() { text_.finish(c_); }
    // Where the open text's next character goes, and the height of its line.
    using Caret = TextTool::Caret;
    Caret caret() { return text_.caret(c_); }

    // Puts the Canvas's own pen back and deletes the freehand pen, which otherwise stays selected
    // between pen steps. Call before the surfaces go.
    void releasePen() { pen_.releasePen(c_); }

    // Copies the whole Canvas to the window.
    void refreshOverlay();
    // What leaves the overlay, copied or saved: the part chosen with 选区, or the whole picture.
    PixelRect part() const;

  private:
    // The tool of a tool code, or null for none.
    Tool* toolFor(std::int32_t code);
    bool replay(bool back);
    // Ends the stroke: every tool finishes what it left open (a mosaic whose release never
    // arrived because a menu took it, an open text) before the history records it.
    void endStroke();

    UndoHistory history_;
    ToolContext c_;
    ShapeTool shapes_;
    PenTool pen_;
    LineTool line_;
    ArrowTool arrow_;
    MosaicTool mosaic_;
    TextTool text_;
    HighlighterTool highlighter_;
    MarkerTool marker_;
    PartTool part_;
    Tool* const tools_[9] = {&shapes_, &pen_,         &line_,   &arrow_, &mosaic_,
                             &text_,   &highlighter_, &marker_, &part_};
};

} // namespace tovrel
