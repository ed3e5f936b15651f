#include "undo_history.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tovrel {
namespace {

// Makes room for needed elements, doubling; false, with the array as it was, when out of memory.
template <typename T, typename Count>
bool reserve(const Allocator& alloc, T*& array, Count& capacity, Count needed) {
    if (needed <= capacity) return true;
    const Count more = std::max(needed, capacity * 2 + 16);
    void* bigger = alloc.reallocate(array, sizeof(T) * more);
    if (!bigger) return false;
    array = static_cast<T*>(bigger);
    capacity = more;
    return true;
}

// Eight pixels spread over a tile of across x down, one in each eighth of its rows and of its
// columns.
ScreenPoint samplePoint(int i, int across, int down) {
    return {(i * 5 % 8 * 2 + 1) * across / 16, (2 * i + 1) * down / 16};
}

} // namespace

UndoHistory::UndoHistory(int width, int height, std::size_t capacityBytes, Allocator allocator)
    : width_(width), height_(height), tilesAcross_((width + kTile - 1) / kTile),
      capacity_(capacityBytes), alloc_(allocator) {}

UndoHistory::~UndoHistory() {
    dropAll();
    forgetKept();
    alloc_.release(slotOfTile_);
    alloc_.release(steps_);
}

PixelRect UndoHistory::clipped(PixelRect a) const {
    return {std::max(a.left, 0), std::max(a.top, 0), std::min(a.right, width_),
            std::min(a.bottom, height_)};
}

PixelRect UndoHistory::tileArea(int tile) const {
    const int x0 = tile % tilesAcross_ * kTile, y0 = tile / tilesAcross_ * kTile;
    return clipped({x0, y0, x0 + kTile, y0 + kTile});
}

void UndoHistory::keep(const std::uint32_t* canvas, PixelRect a) {
    a = clipped(a);
    if (a.left >= a.right || a.top >= a.bottom || lost_) return;
    // Made with the first stroke, so that a history that could not get it tries again.
    if (!slotOfTile_) {
        const std::size_t tiles = std::size_t(tilesAcross_) * ((height_ + kTile - 1) / kTile);
        slotOfTile_ = static_cast<int*>(alloc_.reallocate(nullptr, sizeof(int) * tiles));
        if (slotOfTile_) std::fill_n(slotOfTile_, tiles, -1);
    }
    for (int ty = a.top / kTile; ty <= (a.bottom - 1) / kTile; ++ty)
        for (int tx = a.left / kTile; tx <= (a.right - 1) / kTile; ++tx) {
            const int tile = ty * tilesAcross_ + tx;
            if (slotOfTile_ && slotOfTile_[tile] >= 0) continue;
            void* pixels = nullptr;
            if (!slotOfTile_ || !reserve(alloc_, kept_, slotCapacity_, slots_ + 1) ||
                !(pixels = alloc_.reallocate(nullptr, sizeof(std::uint32_t) * kTile * kTile))) {
                lost_ = true;
                return;
            }
            slotOfTile_[tile] = slots_;
            Kept& kept = kept_[slots_++];
            kept.tile = {static_cast<std::uint32_t*>(pixels), tile, false};
            const PixelRect t = tileArea(tile);
            for (int y = t.top; y < t.bottom; ++y)
                std::memcpy(kept.tile.pixels + (y - t.top) * kTile,
                            canvas + std::size_t(y) * width_ + t.left,
                            sizeof(std::uint32_t) * (t.right - t.left));
            for (int i = 0; i < kSamples; ++i) {
                const ScreenPoint p = samplePoint(i, t.right - t.left, t.bottom - t.top);
                kept.samples[i] = kept.tile.pixels[p.y * kTile + p.x];
            }
        }
}

bool UndoHistory::restore(std::uint32_t* canvas, PixelRect a) const {
    a = clipped(a);
    if (a.left >= a.right || a.top >= a.bottom) return true;
    if (lost_ || !slotOfTile_) return false;
    for (int pass = 0; pass < 2; ++pass) // whether all is kept, then the copy
        for (int ty = a.top / kTile; ty <= (a.bottom - 1) / kTile; ++ty)
            for (int tx = a.left / kTile; tx <= (a.right - 1) / kTile; ++tx) {
                const int slot = slotOfTile_[ty * tilesAcross_ + tx];
                if (slot < 0) return false;
                const int x0 = std::max(a.left, tx * kTile),
                          x1 = std::min(a.right, tx * kTile + kTile);
                for (int y = std::max(a.top, ty * kTile);
                     pass && y < std::min(a.bottom, ty * kTile + kTile); ++y)
                    std::memcpy(canvas + std::size_t(y) * width_ + x0,
                                kept_[slot].tile.pixels + (y - ty * kTile) * kTile + x0 -
                                    tx * kTile,
                                sizeof(std::uint32_t) * (x1 - x0));
            }
    return true;
}

// Runs of the pixels that differ from what was kept, with their XOR; a tile that mostly differs
// is taken whole instead.
bool UndoHistory::record(const std::uint32_t* canvas, Step& step) {
    std::size_t capacity = 0;
    int tileCapacity = 0;
    PixelRect& b = step.bounds;
    b = {width_, height_, 0, 0};
    for (int slot = 0; slot < slots_; ++slot) {
        Tile& kept = kept_[slot].tile;
        const PixelRect t = tileArea(kept.place);
        const int x0 = t.left, across = t.right - t.left;
        const std::uint32_t* origin = canvas + std::size_t(t.top) * width_ + x0;
        // Where half the samples changed, the runs would take about as much as the tile. Decided
        // by what the stroke changed alone, whichever other tiles were kept, and without a pass
        // over the tile.
        int sampled = 0;
        for (int i = 0; i < kSamples; ++i) {
            const ScreenPoint p = samplePoint(i, across, t.bottom - t.top);
            sampled += kept_[slot].samples[i] != origin[std::size_t(p.y) * width_ + p.x];
        }
        if (sampled >= kSamples / 2) {
            // Room for all at once, cut to size at the end: a whole picture takes thousands.
            if (!reserve(alloc_, step.tiles, tileCapacity, slots_)) return false;
            step.tiles[step.tileCount++] = kept;
            kept.pixels = nullptr;
            b = {std::min(b.left, t.left), std::min(b.top, t.top), std::max(b.right, t.right),
                 std::max(b.bottom, t.bottom)};
            continue;
        }
        for (int y = t.top; y < t.bottom; ++y) {
            const std::uint32_t* before = kept.pixels + (y - t.top) * kTile;
            const std::uint32_t* now = canvas + std::size_t(y) * width_ + x0;
            // Most rows of a stroke's tiles changed in one run or not at all: counted in one
            // pass, such a run is found from its ends, with no search in between.
            int differing = 0;
            for (int x = 0; x < across; ++x)
                differing += before[x] != now[x];
            if (differing == 0) continue;
            int first = 0, last = across;
            while (before[first] == now[first])
                ++first;
            while (before[last - 1] == now[last - 1])
                --last;
            for (int x = first; x < last;) {
                if (before[x] == now[x]) {
                    ++x;
                    continue;
                }
                int end = last - first == differing ? last : x;
                while (end < last && before[end] != now[end])
                    ++end;
                if (!reserve(alloc_, step.runs, capacity, step.words + 2 + (end - x))) return false;
                std::uint32_t* out = step.runs + step.words;
                *out++ = std::uint32_t(std::size_t(y) * width_ + x0 + x);
                *out++ = std::uint32_t(end - x);
                b = {std::min(b.left, x0 + x), std::min(b.top, y), std::max(b.right, x0 + end),
                     std::max(b.bottom, y + 1)};
                step.words += 2 + (end - x);
                for (; x < end; ++x)
                    *out++ = before[x] ^ now[x];
            }
        }
    }
    void* exact =
        step.words ? alloc_.reallocate(step.runs, sizeof(std::uint32_t) * step.words) : nullptr;
    if (exact) step.runs = static_cast<std::uint32_t*>(exact);
    exact = step.tileCount ? alloc_.reallocate(step.tiles, sizeof(Tile) * step.tileCount) : nullptr;
    if (exact) step.tiles = static_cast<Tile*>(exact);
    step.bytes = sizeof(std::uint32_t) * step.words +
                 (sizeof(Tile) + sizeof(std::uint32_t) * kTile * kTile) * step.tileCount;
    return true;
}

void UndoHistory::endStroke(const std::uint32_t* canvas) {
    Step step = {};
    const bool recorded = !lost_ && record(canvas, step) &&
                          (step.bytes == 0 || reserve(alloc_, steps_, stepCapacity_, count_ + 1));
    forgetKept();
    step.markers = std::exchange(markersInStroke_, 0);
    if (!recorded || step.bytes > 0) markersShown_ += step.markers;
    // Earlier steps cannot be taken back over a stroke that cannot; it may have drawn.
    if (!recorded) dropAll(), ++beyondUndo_;
    if (!recorded || step.bytes == 0) {
        release(step);
        return;
    }
    while (undone_ > 0) {
        --undone_, --count_;
        bytes_ -= steps_[count_].bytes;
        release(steps_[count_]);
    }
    steps_[count_++] = step;
    bytes_ += step.bytes;
    while (bytes_ > capacity_ && count_ > 0)
        dropOldest();
}

bool UndoHistory::undo(std::uint32_t* canvas, PixelRect& changed) {
    endStroke(canvas);
    if (undone_ == count_) return false;
    Step& step = steps_[count_ - ++undone_];
    markersShown_ -= step.markers;
    return apply(step, canvas, changed);
}

bool UndoHistory::redo(std::uint32_t* canvas, PixelRect& changed) {
    endStroke(canvas);
    if (undone_ == 0) return false;
    Step& step = steps_[count_ - undone_--];
    markersShown_ += step.markers;
    return apply(step, canvas, changed);
}

// XOR is its own inverse: the same runs and tiles take a step back and put it back. A tile taken
// whole holds the pixels before its step until the step's first undo, when the Canvas is the
// picture after it (undos go from the latest): its XOR is made then, as it is applied.
bool UndoHistory::apply(Step& step, std::uint32_t* canvas, PixelRect& changed) {
    for (std::size_t at = 0; at < step.words;) {
        std::uint32_t* pixel = canvas + step.runs[at];
        const std::uint32_t length = step.runs[at + 1];
        at += 2;
        for (std::uint32_t i = 0; i < length; ++i)
            pixel[i] ^= step.runs[at++];
    }
    for (Tile* tile = step.tiles; tile < step.tiles + step.tileCount; ++tile) {
        const PixelRect t = tileArea(tile->place);
        for (int y = t.top; y < t.bottom; ++y) {
            std::uint32_t* pixel = canvas + std::size_t(y) * width_ + t.left;
            std::uint32_t* stored = tile->pixels + (y - t.top) * kTile;
            for (int x = 0; !tile->xored && x < t.right - t.left; ++x)
                stored[x] ^= pixel[x];
            for (int x = 0; x < t.right - t.left; ++x)
                pixel[x] ^= stored[x];
        }
        tile->xored = true;
    }
    changed = step.bounds;
    return true;
}

void UndoHistory::release(Step& step) const {
    alloc_.release(step.runs);
    for (int i = 0; i < step.tileCount; ++i)
        alloc_.release(step.tiles[i].pixels);
    alloc_.release(step.tiles);
}

// The kept tiles are freed with each stroke: one large stroke would otherwise hold a screenful.
void UndoHistory::forgetKept() {
    for (int slot = 0; slot < slots_; ++slot) {
        slotOfTile_[kept_[slot].tile.place] = -1;
        alloc_.release(kept_[slot].tile.pixels);
    }
    alloc_.release(kept_);
    kept_ = nullptr;
    slots_ = slotCapacity_ = 0;
    lost_ = false;
}

void UndoHistory::dropOldest() {
    if (undone_ < count_) ++beyondUndo_; // the oldest step is on the Canvas unless all are undone
    bytes_ -= steps_[0].bytes;
    release(steps_[0]);
    std::memmove(steps_, steps_ + 1, sizeof(Step) * --count_);
    undone_ = std::min(undone_, count_);
}

void UndoHistory::dropAll() {
    while (count_ > 0)
        dropOldest();
}

} // namespace tovrel
