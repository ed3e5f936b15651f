#include "undo_history.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

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
            int tileCapacity = slotCapacity_;
            std::size_t pixelCapacity = std::size_t(slotCapacity_) * kTile * kTile;
            if (!slotOfTile_ || !reserve(alloc_, tileOfSlot_, tileCapacity, slots_ + 1) ||
                !reserve(alloc_, kept_, pixelCapacity, std::size_t(tileCapacity) * kTile * kTile)) {
                lost_ = true;
                return;
            }
            slotCapacity_ = tileCapacity;
            slotOfTile_[tile] = slots_;
            tileOfSlot_[slots_] = tile;
            const int x0 = tx * kTile, x1 = std::min(x0 + kTile, width_), y0 = ty * kTile;
            std::uint32_t* slot = kept_ + std::size_t(slots_++) * kTile * kTile;
            for (int y = y0; y < std::min(y0 + kTile, height_); ++y)
                std::memcpy(slot + (y - y0) * kTile, canvas + std::size_t(y) * width_ + x0,
                            sizeof(std::uint32_t) * (x1 - x0));
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
                                kept_ + (std::size_t(slot) * kTile + y - ty * kTile) * kTile + x0 -
                                    tx * kTile,
                                sizeof(std::uint32_t) * (x1 - x0));
            }
    return true;
}

// Runs of the pixels that differ from what was kept, with their XOR.
bool UndoHistory::record(const std::uint32_t* canvas, Step& step) {
    std::size_t capacity = 0;
    PixelRect& b = step.bounds;
    b = {width_, height_, 0, 0};
    for (int slot = 0; slot < slots_; ++slot) {
        const int x0 = tileOfSlot_[slot] % tilesAcross_ * kTile,
                  y0 = tileOfSlot_[slot] / tilesAcross_ * kTile;
        const int across = std::min(kTile, width_ - x0);
        for (int y = y0; y < std::min(y0 + kTile, height_); ++y) {
            const std::uint32_t* before = kept_ + (std::size_t(slot) * kTile + (y - y0)) * kTile;
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
    return true;
}

void UndoHistory::endStroke(const std::uint32_t* canvas) {
    Step step = {};
    const bool recorded = !lost_ && record(canvas, step) &&
                          (step.words == 0 || reserve(alloc_, steps_, stepCapacity_, count_ + 1));
    forgetKept();
    // Earlier steps cannot be taken back over a stroke that cannot; it may have drawn.
    if (!recorded) dropAll(), ++beyondUndo_;
    if (!recorded || step.words == 0) {
        alloc_.release(step.runs);
        return;
    }
    while (undone_ > 0) {
        --undone_, --count_;
        bytes_ -= sizeof(std::uint32_t) * steps_[count_].words;
        alloc_.release(steps_[count_].runs);
    }
    steps_[count_++] = step;
    bytes_ += sizeof(std::uint32_t) * step.words;
    while (bytes_ > capacity_ && count_ > 0)
        dropOldest();
}

bool UndoHistory::undo(std::uint32_t* canvas, PixelRect& changed) {
    endStroke(canvas);
    return undone_ < count_ && apply(steps_[count_ - ++undone_], canvas, changed);
}

bool UndoHistory::redo(std::uint32_t* canvas, PixelRect& changed) {
    endStroke(canvas);
    return undone_ > 0 && apply(steps_[count_ - undone_--], canvas, changed);
}

// XOR is its own inverse: the same runs take a step back and put it back.
bool UndoHistory::apply(const Step& step, std::uint32_t* canvas, PixelRect& changed) const {
    for (std::size_t at = 0; at < step.words;) {
        std::uint32_t* pixel = canvas + step.runs[at];
        const std::uint32_t length = step.runs[at + 1];
        at += 2;
        for (std::uint32_t i = 0; i < length; ++i)
            pixel[i] ^= step.runs[at++];
    }
    changed = step.bounds;
    return true;
}

// The kept tiles are freed with each stroke: one large stroke would otherwise hold a screenful.
void UndoHistory::forgetKept() {
    for (int slot = 0; slot < slots_; ++slot)
        slotOfTile_[tileOfSlot_[slot]] = -1;
    alloc_.release(tileOfSlot_), alloc_.release(kept_);
    tileOfSlot_ = nullptr, kept_ = nullptr;
    slots_ = slotCapacity_ = 0;
    lost_ = false;
}

void UndoHistory::dropOldest() {
    if (undone_ < count_) ++beyondUndo_; // the oldest step is on the Canvas unless all are undone
    bytes_ -= sizeof(std::uint32_t) * steps_[0].words;
    alloc_.release(steps_[0].runs);
    std::memmove(steps_, steps_ + 1, sizeof(Step) * --count_);
    undone_ = std::min(undone_, count_);
}

void UndoHistory::dropAll() {
    while (count_ > 0)
        dropOldest();
}

} // namespace tovrel
