// Turns the overlay's mouse events into drawing on the Canvas and the window.
#pragma once

#include "surface.h"

namespace tovrel {

class StrokeEngine {
  public:
    StrokeEngine(const DrawingSettings& settings, DragState& drag, OverlaySurfaces surfaces)
        : settings_(settings), drag_(drag), s_(surfaces) {}
    ~StrokeEngine() { releasePen(); }
    StrokeEngine(const StrokeEngine&) = delete;
    StrokeEngine& operator=(const StrokeEngine&) = delete;

    void onLeftButtonDown();
    void onMouseMove(std::uint32_t keyFlags, std::uint16_t clientX, std::uint16_t clientY);
    void onLeftButtonUp() {}

    // Puts the surfaces' own pens back and deletes the freehand pen, which
    // otherwise stays selected between pen steps. Call before the surfaces go.
    void releasePen();

    // Copies the whole Canvas to the window.
    void refreshOverlay();

  private:
    // A rubber-band step changes pixels only near the shapes' defining points.
    struct Bounds {
        int left, top, right, bottom; // inclusive
        explicit Bounds(Point16 p) : left(p.x), top(p.y), right(p.x), bottom(p.y) {}
        Bounds& add(int x, int y);
    };
    void copyToWindow(Bounds changed);
    void penStep();
    void lineStep(Point16 p);
    void shapeStep(Point16 p);
    void arrowStep(Point16 p);

    const DrawingSettings& settings_;
    DragState& drag_;
    OverlaySurfaces s_;
    GdiObject freehandPen_ = nullptr;
    GdiObject canvasOriginalPen_ = nullptr;
    GdiObject windowOriginalPen_ = nullptr;
};

} // namespace tovrel
