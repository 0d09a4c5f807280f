#!/usr/bin/env python3
"""Draws qozcal's application icon, a pen whose tip rests on a crosshair, and
writes it as a Windows .ico holding a 32 x 32 and a 16 x 16 image of 16
colours (4 bits per pixel, the standard 16-colour palette).

Usage: make_icon.py [OUTPUT.ico]   (default: qozcal.ico beside this script)
The output depends on nothing but this script, so it is reproducible.
"""

import math
import os
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, GREY, SILVER, RED, YELLOW, BLUE, WHITE = 0, 8, 7, 9, 11, 12, 15
TRANSPARENT = None

SIZES = (32, 16)

# The drawing, in units of the icon's side (0 to 1, y downwards).
CENTRE = (0.40, 0.60)        # the crosshair's centre, where the pen's tip rests
RING_RADIUS = 0.30
ARM_LENGTH = 0.40
PEN_TIP = CENTRE
PEN_COLLAR = (0.56, 0.44)    # where the pointed tip meets the barrel
PEN_END = (0.93, 0.07)
PEN_WIDTH = 0.17


def segment_distance(point, start, end):
    """Distance from point to the segment start-end, and how far along it
    (0 at start, 1 at end) the nearest point lies."""
    px, py = point
    ax, ay = start
    bx, by = end
    dx, dy = bx - ax, by - ay
    length_squared = dx * dx + dy * dy
    t = ((px - ax) * dx + (py - ay) * dy) / length_squared
    t = max(0.0, min(1.0, t))
    nearest_x, nearest_y = ax + t * dx, ay + t * dy
    return math.hypot(px - nearest_x, py - nearest_y), t


def pixel_colour(x, y, size):
    """Palette index (or TRANSPARENT) of pixel (x, y) in an icon of `size`."""
    pixel = 1.0 / size
    point = ((x + 0.5) * pixel, (y + 0.5) * pixel)
    colour = TRANSPARENT

    # The crosshair: a white face, a red ring, red arms through the centre.
    radius = math.hypot(point[0] - CENTRE[0], point[1] - CENTRE[1])
    if radius <= RING_RADIUS:
        colour = WHITE
    if abs(radius - RING_RADIUS) <= 0.75 * pixel:
        colour = RED
    on_vertical_arm = abs(point[0] - CENTRE[0]) < 0.5 * pixel and \
        abs(point[1] - CENTRE[1]) <= ARM_LENGTH
    on_horizontal_arm = abs(point[1] - CENTRE[1]) < 0.5 * pixel and \
        abs(point[0] - CENTRE[0]) <= ARM_LENGTH
    if on_vertical_arm or on_horizontal_arm:
        colour = RED

    # The pen: a blue barrel with a black outline and a silver pointed tip.
    half_width = PEN_WIDTH / 2
    distance, _ = segment_distance(point, PEN_COLLAR, PEN_END)
    if distance <= half_width + pixel:
        colour = BLACK
    if distance <= half_width:
        colour = BLUE if distance > 0.25 * half_width else YELLOW
    distance, along = segment_distance(point, PEN_TIP, PEN_COLLAR)
    tip_half_width = half_width * along
    if along < 1.0 and distance <= tip_half_width + 0.7 * pixel:
        colour = BLACK
    if along < 1.0 and distance <= tip_half_width - 0.3 * pixel:
        colour = SILVER if along > 0.35 else GREY
    return colour


def draw(size):
    return [[pixel_colour(x, y, size) for x in range(size)] for y in range(size)]


def padded_row(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def image_data(pixels):
    """The icon image: BITMAPINFOHEADER, palette, colour bits, mask bits."""
    size = len(pixels)
    colour_rows = []
    mask_rows = []
    for row in reversed(pixels):   # bitmaps run bottom-up
        indices = [0 if c is TRANSPARENT else c for c in row]
        colour_rows.append(padded_row(bytes(
            (indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))))
        mask_bits = 0
        for c in row:
            mask_bits = (mask_bits << 1) | (1 if c is TRANSPARENT else 0)
        mask_rows.append(padded_row(mask_bits.to_bytes(size // 8, "big")))
    colour_bits = b"".join(colour_rows)
    mask_bits = b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0,
                         len(colour_bits) + len(mask_bits), 0, 0, len(PALETTE), 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + colour_bits + mask_bits


def icon_file(images):
    """An .ico: the directory, one entry per image, then the images."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size, size, len(PALETTE), 0, 1, 4, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, data in images)


def main(argv):
    if len(argv) > 2:
        sys.stderr.write("usage: make_icon.py [OUTPUT.ico]\n")
        return 2
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "qozcal.ico")
    output = argv[1] if len(argv) == 2 else default
    images = [(size, image_data(draw(size))) for size in SIZES]
    with open(output, "wb") as out:
        out.write(icon_file(images))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
