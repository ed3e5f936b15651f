// Takes back and puts back whole strokes on the Canvas.
#pragma once

#include "surface.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace tovrel {

// Where the history's memory comes from: the C library's, or a test's that runs out on purpose.
// reallocate(nullptr, bytes) allocates.
struct Allocator {
    void* (*reallocate)(void* block, std::size_t bytes);
    void (*release)(void* block);
};
inline constexpr Allocator kCLibrary = {
    [](void* block, std::size_t bytes) { return std::realloc(block, bytes); },
    [](void* block) { std::free(block); }};

// Before a stroke first changes part of the Canvas, the pixels there are kept in tiles. When the
// stroke ends, only the pixels it changed are stored, as their XOR with what was there before: the
// history grows with what strokes changed, never with the screen, and undo and redo are one same
// operation that touches only those pixels. A tile the stroke changed mostly is not copied but
// taken as it was kept, and turned into its XOR at the first undo: a stroke over the whole picture
// (a mosaic) is recorded at once, in memory the history already holds.
//
// The Canvas is width x height 32-bit words, rows top-down. Memory comes from the allocator and
// is checked: when it runs out, the history is dropped rather than left wrong.
class UndoHistory {
  public:
    static constexpr std::size_t kDefaultCapacity = std::size_t{256} << 20;

    UndoHistory(int width, int height, std::size_t capacityBytes = kDefaultCapacity,
                Allocator allocator = kCLibrary);
    ~UndoHistory();
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    // Keeps what area (clipped to the Canvas) holds where this stroke has not drawn yet; call
    // before drawing there.
    void keep(const std::uint32_t* canvas, PixelRect area);
    // Puts back what area (clipped to the Canvas) held before this stroke drew there; false, with
    // nothing put back, unless all of it was kept.
    bool restore(std::uint32_t* canvas, PixelRect area) const;
    // Ends the stroke in progress. One that changed pixels becomes the latest step, and what
    // was undone can no longer be redone.
    void endStroke(const std::uint32_t* canvas);
    // End the stroke in progress, then take back the latest step, or put back the last one
    // taken back. False when there is none; otherwise changed is what the Canvas changed in.
    bool undo(std::uint32_t* canvas, PixelRect& changed);
    bool redo(std::uint32_t* canvas, PixelRect& changed);

    // The memory the recorded steps take, in bytes; the oldest go first to keep it under the
    // capacity.
    std::size_t bytes() const { return bytes_; }
    // Whether any stroke that changed the Canvas is on it now: recorded and not taken back, or
    // beyond taking back. Only what ended counts.
    bool showsStrokes() const { return beyondUndo_ > 0 || count_ > undone_; }
    // Counts a numbered marker placed by the stroke in progress. Once the stroke ends it counts
    // among the markers shown if the stroke changed the Canvas, until its step is taken back;
    // its step dropped beyond undo, it still counts.
    void placedMarker() { ++markersInStroke_; }
    int markersShown() const { return markersShown_; }

  private:
    static constexpr int kTile = 64;
    static constexpr int kSamples = 8;
    struct Tile {
        std::uint32_t* pixels; // kTile x kTile
        int place;             // row * tilesAcross_ + column
        bool xored;            // false: the pixels before the step, until its first undo
    };
    // A tile kept during a stroke, with a few of its pixels at hand: whether the stroke changed it
    // mostly is told without reading it again.
    struct Kept {
        Tile tile;
        std::uint32_t samples[kSamples];
    };
    struct Step {
        std::uint32_t* runs; // per run of changed pixels: its index, its length, then the XORs
        std::size_t words;
        Tile* tiles; // those taken whole
        int tileCount;
        PixelRect bounds;
        std::size_t bytes;
        int markers; // numbered markers placed by its stroke
    };

    // Applies the step's XORs; true, with changed set to where.
    bool apply(Step& step, std::uint32_t* canvas, PixelRect& changed);
    bool record(const std::uint32_t* canvas, Step& step);
    void release(Step& step) const;
    PixelRect clipped(PixelRect area) const;
    PixelRect tileArea(int tile) const;
    void forgetKept();
    void dropOldest();
    void dropAll();

    const int width_, height_, tilesAcross_;
    const std::size_t capacity_;
    const Allocator alloc_;
    int* slotOfTile_ = nullptr; // where a tile's kept pixels are, or -1
    // Each kept tile in its own block, so that a step can take it as it is.
    Kept* kept_ = nullptr;
    int slots_ = 0, slotCapacity_ = 0;
    bool lost_ = false; // the stroke in progress could not be kept

    Step* steps_ = nullptr;
    int count_ = 0, stepCapacity_ = 0;
    int undone_ = 0;             // of the latest steps, how many are taken back
    std::size_t beyondUndo_ = 0; // strokes on the Canvas whose steps were dropped
    std::size_t bytes_ = 0;
    int markersInStroke_ = 0, markersShown_ = 0;
};

} // namespace tovrel
