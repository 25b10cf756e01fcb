#!/usr/bin/env python3
"""Draws the application icon: a blue shield with a white check mark, at 16, 32 and 48 pixels,
each anti-aliased by sampling every pixel on a grid, and writes them as one .ico file
(32-bit images with alpha, plus the 1-bit mask that older systems use).

Usage: draw_icon.py OUTPUT.ico
"""
import math
import struct
import sys

SIZES = (16, 32, 48)
SAMPLES = 6  # per pixel and axis

OUTLINE = (14, 42, 94)
TOP = (64, 132, 224)
BOTTOM = (22, 62, 140)
CHECK = (255, 255, 255)


def shield_half_width(y, margin):
    """Half the width of the shield at height y (0 top, 1 bottom) in unit coordinates, or None
    above or below it; margin shrinks the shape evenly, for the inner face."""
    top, shoulder, tip, half = 0.06 + margin, 0.50, 0.96 - margin * 1.6, 0.40 - margin
    if y < top or y > tip:
        return None
    if y <= shoulder:
        # A slight dip in the middle of the top edge is drawn by the caller; the sides are straight.
        return half
    t = (y - shoulder) / (tip - shoulder)
    return half * math.cos(t * math.pi / 2) ** 0.8


def inside_shield(x, y, margin):
    half = shield_half_width(y, margin)
    if half is None:
        return False
    dx = abs(x - 0.5)
    # The top edge rises towards the corners.
    if y < 0.06 + margin + 0.05 * (1 - dx / 0.40):
        return False
    return dx <= half


def distance_to_segment(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    cx, cy = ax + t * vx, ay + t * vy
    return math.hypot(px - cx, py - cy)


def on_check(x, y, thickness):
    points = ((0.29, 0.49), (0.44, 0.65), (0.72, 0.32))
    return any(distance_to_segment(x, y, *points[i], *points[i + 1]) <= thickness / 2
               for i in range(2))


def pixel(size, column, row):
    """Returns (r, g, b, a) for one pixel, mixing SAMPLES x SAMPLES samples."""
    outline_width = max(1.0 / size, 0.035)
    check_thickness = max(1.8 / size, 0.11)
    totals = [0.0, 0.0, 0.0, 0.0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = (column + (sx + 0.5) / SAMPLES) / size
            y = (row + (sy + 0.5) / SAMPLES) / size
            if not inside_shield(x, y, 0.0):
                continue
            if not inside_shield(x, y, outline_width):
                colour = OUTLINE
            elif on_check(x, y, check_thickness):
                colour = CHECK
            else:
                t = min(1.0, max(0.0, (y - 0.06) / 0.9))
                colour = tuple(TOP[i] + (BOTTOM[i] - TOP[i]) * t for i in range(3))
            for i in range(3):
                totals[i] += colour[i]
            totals[3] += 1
    covered = totals[3]
    if covered == 0:
        return (0, 0, 0, 0)
    alpha = round(255 * covered / (SAMPLES * SAMPLES))
    return tuple(round(totals[i] / covered) for i in range(3)) + (alpha,)


def icon_image(size):
    """One icon image: a BITMAPINFOHEADER, the colour pixels bottom-up, then the mask."""
    rows = [[pixel(size, column, row) for column in range(size)] for row in range(size)]
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            colour += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for column, (_, _, _, a) in enumerate(row):
            if a < 128:
                line[column // 8] |= 0x80 >> (column % 8)
        mask += line
    return header + colour + mask


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    images = [icon_image(size) for size in SIZES]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for size, image in zip(SIZES, images):
        entries += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(sys.argv[1], 'wb') as output:
        output.write(directory + entries + b''.join(images))


if __name__ == '__main__':
    main()
