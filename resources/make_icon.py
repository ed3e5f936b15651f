#!/usr/bin/env python3
"""Draws the tray icon, a pen over a picture frame, and writes it as tovrel.ico.

One 32x32 image at 32 bits per pixel with alpha; each pixel is the average of 4x4 samples
so the slanted pen has soft edges. Usage: make_icon.py [OUTPUT] (default: tovrel.ico here).
"""
import math
import os
import struct
import sys

SIZE = 32
SAMPLES = 4

FRAME = (0x2F, 0x5D, 0x8C)
PICTURE = (0xDD, 0xEE, 0xFA)
HILL = (0x6A, 0xA8, 0x4F)
PEN_BODY = (0xF2, 0xB1, 0x34)
PEN_EDGE = (0x9C, 0x64, 0x10)
PEN_WOOD = (0xEE, 0xCF, 0xA1)
PEN_LEAD = (0x30, 0x30, 0x30)
PEN_CAP = (0xD9, 0x5C, 0x5C)

# The pen lies from its tip at the lower left towards the upper right corner.
TIP = (6.0, 26.0)
END = (29.0, 3.0)
HALF_WIDTH = 3.4
CONE = 7.0
CAP = 4.0


def frame_colour(x, y):
    if not (2.0 <= x < 26.0 and 4.0 <= y < 28.0):
        return None
    if not (4.5 <= x < 23.5 and 6.5 <= y < 25.5):
        return FRAME
    if y > 21.0 - 4.0 * math.sin((x - 4.5) / 19.0 * math.pi):
        return HILL
    return PICTURE


def pen_colour(x, y):
    length = math.hypot(END[0] - TIP[0], END[1] - TIP[1])
    ax, ay = (END[0] - TIP[0]) / length, (END[1] - TIP[1]) / length
    u = (x - TIP[0]) * ax + (y - TIP[1]) * ay
    v = abs((x - TIP[0]) * -ay + (y - TIP[1]) * ax)
    if u < 0.0 or u > length:
        return None
    if u < CONE:
        if v > HALF_WIDTH * u / CONE:
            return None
        return PEN_LEAD if u < 2.6 else PEN_WOOD
    if v > HALF_WIDTH:
        return None
    if u > length - CAP:
        return PEN_CAP
    return PEN_EDGE if v > HALF_WIDTH - 1.0 else PEN_BODY


def pixel(px, py):
    """Returns (b, g, r, a) for one pixel, top-down coordinates."""
    red = green = blue = covered = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = px + (sx + 0.5) / SAMPLES
            y = py + (sy + 0.5) / SAMPLES
            colour = pen_colour(x, y) or frame_colour(x, y)
            if colour:
                red += colour[0]
                green += colour[1]
                blue += colour[2]
                covered += 1
    if covered == 0:
        return (0, 0, 0, 0)
    alpha = round(255 * covered / SAMPLES**2)
    return (round(blue / covered), round(green / covered), round(red / covered), alpha)


def ico_bytes():
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    colour = b"".join(bytes(p) for row in reversed(rows) for p in row)
    # The AND mask is ignored for 32-bit images but must be present: bottom-up, 1 bit per pixel.
    mask = bytearray()
    for row in reversed(rows):
        bits = 0
        for x, p in enumerate(row):
            if p[3] == 0:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    # The height counts the colour rows and the mask rows together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    image = header + colour + bytes(mask)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return icondir + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "tovrel.ico")
    with open(out, "wb") as f:
        f.write(ico_bytes())


if __name__ == "__main__":
    main()
