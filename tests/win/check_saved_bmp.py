#!/usr/bin/env python3
"""Decodes the picture save_test saved with ImageMagick, an independent BMP reader, and
compares it with the screen as the test captured it (expected.rgb: 8-bit RGB rows, top first).

Usage: check_saved_bmp.py FOLDER. Exits 1 on any difference.
"""
import os
import subprocess
import sys

IDENTIFY = "/usr/bin/identify"  # by full path: other programs named convert may come first
CONVERT = "/usr/bin/convert"


def main(folder):
    picture = os.path.join(folder, "picture.bmp")
    expected = open(os.path.join(folder, "expected.rgb"), "rb").read()
    described = subprocess.run([IDENTIFY, "-format", "%m %w %h %z", picture], check=True,
                               capture_output=True, text=True).stdout.split()
    print("identify:", " ".join(described))
    kind, width, height, depth = described[0], int(described[1]), int(described[2]), described[3]
    decoded = subprocess.run([CONVERT, picture, "-depth", "8", "rgb:-"], check=True,
                             capture_output=True).stdout
    failures = []
    if not kind.startswith("BMP"):
        failures.append(f"format {kind}")
    if depth != "8":
        failures.append(f"depth {depth} per channel")
    if width * height * 3 != len(expected):
        failures.append(f"{width}x{height} does not match {len(expected)} bytes of the screen")
    if len(decoded) != len(expected):
        failures.append(f"decoded {len(decoded)} bytes, the screen has {len(expected)}")
    else:
        differing = [i // 3 for i in range(0, len(expected), 3)
                     if decoded[i:i + 3] != expected[i:i + 3]]
        if differing:
            first = differing[0]
            failures.append(f"{len(differing)} pixels differ, the first at "
                            f"{first % width},{first // width}")
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
