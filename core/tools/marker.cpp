#include "marker.h"

#include <algorithm>

namespace tovrel {
namespace {

// Black on a light colour (0.299 R + 0.587 G + 0.114 B at least 128), white on a dark one.
ColorRef numberColour(ColorRef circle) {
    const int r = circle & 0xFF, g = circle >> 8 & 0xFF, b = circle >> 16 & 0xFF;
    return 299 * r + 587 * g + 114 * b >= 128 * 1000 ? 0x000000 : 0xFFFFFF;
}

// The decimal digits of n > 0; returns how many.
int digits(int n, char16_t (&text)[12]) {
    int length = 0;
    for (; n > 0; n /= 10)
        text[length++] = char16_t(u'0' + n % 10);
    std::reverse(text, text + length);
    return length;
}

} // namespace

// A circle of radius 14 at 96 dots per inch (18 after the thick line) and the number in a bold
// font of 16 pixels (20), cut at the circle's box: the marker changes nothing beyond it.
void MarkerTool::press(ToolContext& c) {
    const Point16 at = c.drag.start;
    const bool thick = c.settings.penWidth == 2;
    const int radius = c.scaled(thick ? 18 : 14);
    const PixelRect area = c.changing(Bounds(at), radius);
    PixelRect box = {at.x - radius, at.y - radius, at.x + radius, at.y + radius};
    DrawingPlatform& platform = c.s.platform;
    Surface& canvas = c.s.canvas;

    {
        const Selected pen(platform, canvas,
                           platform.CreatePen(PenStyleSolid, 1, c.settings.penColour));
        const Selected brush(platform, canvas, platform.CreateSolidBrush(c.settings.penColour));
        const Mixing painting(canvas, MIX_COPYPEN);
        canvas.Ellipse(box.left, box.top, box.right, box.bottom);
    }
    char16_t number[12];
    const int length = digits(c.history.markersShown() + 1, number);
    const Selected font(platform, canvas,
                        platform.CreateFontW(c.scaled(thick ? 20 : 16), FONT_WEIGHT_BOLD));
    const ColorRef oldColour = canvas.SetTextColor(numberColour(c.settings.penColour));
    canvas.DrawTextW(number, length, box,
                     TEXT_CENTER | TEXT_VCENTER | TEXT_SINGLELINE | TEXT_NOPREFIX);
    canvas.SetTextColor(oldColour);

    c.history.placedMarker();
    c.show(area);
}

} // namespace tovrel
