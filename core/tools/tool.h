// What every tool draws through, and what a tool is to the stroke engine.
#pragma once

#include "surface.h"
#include "undo_history.h"

namespace tovrel {

// The points a step's shapes are defined by; a step changes pixels only near them.
struct Bounds {
    int left, top, right, bottom; // inclusive
    explicit Bounds(Point16 p) : left(p.x), top(p.y), right(p.x), bottom(p.y) {}
    Bounds& add(int x, int y);
};

// What the tools share, kept by the stroke engine: the overlay's surfaces, the settings and drag
// points, the undo history, the cursor, and the one way to the window.
class ToolContext {
  public:
    ToolContext(const DrawingSettings& settings, DragState& drag, OverlaySurfaces surfaces,
                UndoHistory& history)
        : settings(settings), drag(drag), s(surfaces),
          history(history), lit_{0, 0, surfaces.width, surfaces.height} {}
    ~ToolContext();
    ToolContext(const ToolContext&) = delete;
    ToolContext& operator=(const ToolContext&) = delete;

    // The cursor is read on the screen; the messages and the Canvas use the overlay's coordinates.
    ScreenPoint cursor();
    PixelRect clipped(PixelRect area) const;
    // What a step around these points may change, on the screen, kept for undo before the step
    // draws; reach is how far a drawn pixel can lie from the points.
    PixelRect changing(Bounds shapes, int reach = kPenReach);
    // Copies area of the Canvas to the window, each pixel outside the lit part at half
    // brightness.
    void show(PixelRect area);
    // What the window shows undimmed: the whole picture, or the part chosen with 选区.
    PixelRect lit() const { return lit_; }
    // Shows another part undimmed, copying to the window only what changes.
    void light(PixelRect part);
    // Draws on the Canvas under R2_NOT with a pen of this style and width and the hollow brush.
    template <typename Draw> void invert(int style, int width, Draw draw);
    // So many pixels at 96 dots per inch, on this monitor.
    int scaled(int pixels) const { return (pixels * s.dpi + 48) / 96; }

    // Half the widest pen of the outlines and the freehand pen (3), its round end, and a margin
    // for the platform's rounding.
    static constexpr int kPenReach = 4;

    const DrawingSettings& settings;
    DragState& drag;
    const OverlaySurfaces s;
    UndoHistory& history;

  private:
    PixelRect lit_;
    // Where dimmed rows are made on their way to the window, a band at a time.
    std::uint32_t* band_ = nullptr;
    std::size_t bandPixels_ = 0;
};

template <typename Draw> void ToolContext::invert(int style, int width, Draw draw) {
    const Selected pen(s.platform, s.canvas,
                       s.platform.CreatePen(style, width, settings.penColour));
    const Selected hollow(s.platform, s.canvas, s.platform.GetStockObject(NULL_BRUSH_OBJECT),
                          false);
    const Mixing inverting(s.canvas, MIX_NOT);
    draw(s.canvas);
}

// One tool's drawing. The engine hands a tool the press, the moves with the left button held
// while it is the current tool, and to every tool the release and the end of each stroke, so that
// a tool changed mid-drag still finishes what it began.
class Tool {
  public:
    // drag's three points are at the press already.
    virtual void press(ToolContext&) {}
    virtual void move(ToolContext&, Point16) {}
    virtual void release(ToolContext&) {}
    // At the next press, an undo or redo, or the overlay's closing: before the stroke is recorded.
    virtual void endStroke(ToolContext&) {}

  protected:
    ~Tool() = default;
};

} // namespace tovrel
