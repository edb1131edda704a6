#!/usr/bin/env python3
"""Draws the plug-in's button pictures, tool icons and cursors and writes them
as resources: pictures.rc (bitmaps, icons and cursors as hex data) and
pictures.h (their ids).

Every picture is a plain geometric glyph drawn here from lines, circles and
polygons, so that the resources are reproducible: run this script from the
resources folder after changing a glyph and commit both outputs.

    python3 make_pictures.py
"""

import math
import os
import struct

# ---------------------------------------------------------------- palette

FACE = (212, 208, 200)  # the buttons' face colour
INK = (32, 48, 96)  # outlines
BLUE = (64, 120, 200)
LIGHT = (160, 196, 236)
RED = (200, 48, 40)
GREEN = (40, 150, 60)
ORANGE = (236, 140, 32)
GREY = (120, 120, 120)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
CLEAR = None  # lets the background show (icons and cursors)


class Canvas:
    """A picture of w x h pixels; colours are (r, g, b) or None (clear).
    Glyphs are drawn in units of a square `unit` wide, scaled to the size."""

    def __init__(self, w, h, background, unit=24.0):
        self.w, self.h = w, h
        self.s = w / unit
        self.px = [[background] * w for _ in range(h)]

    def each(self, inside, colour):
        """Paints every pixel whose centre, in units, satisfies inside(x, y)."""
        for y in range(self.h):
            for x in range(self.w):
                if inside((x + 0.5) / self.s, (y + 0.5) / self.s):
                    self.px[y][x] = colour

    def line(self, x0, y0, x1, y1, colour, width=1.5):
        # At least a pixel wide whatever the scale.
        half = max(width * self.s, 1.0) / 2 / self.s

        def near(x, y):
            dx, dy = x1 - x0, y1 - y0
            length2 = dx * dx + dy * dy
            t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
            px, py = x0 + t * dx, y0 + t * dy
            return (x - px) ** 2 + (y - py) ** 2 <= half * half

        self.each(near, colour)

    def polyline(self, points, colour, width=1.5):
        for a, b in zip(points, points[1:]):
            self.line(a[0], a[1], b[0], b[1], colour, width)

    def rect(self, x0, y0, x1, y1, colour):
        self.each(lambda x, y: x0 <= x <= x1 and y0 <= y <= y1, colour)

    def frame(self, x0, y0, x1, y1, colour, width=1.5):
        self.polyline([(x0, y0), (x1, y0), (x1, y1), (x0, y1), (x0, y0)], colour, width)

    def border(self, colour):
        """The outermost pixels."""
        for x in range(self.w):
            self.px[0][x] = self.px[self.h - 1][x] = colour
        for y in range(self.h):
            self.px[y][0] = self.px[y][self.w - 1] = colour

    def ellipse(self, cx, cy, rx, ry, colour):
        self.each(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0, colour)

    def ring(self, cx, cy, rx, ry, colour, width=1.5, start=0.0, end=360.0):
        steps = 96
        points = []
        for i in range(steps + 1):
            a = math.radians(start + (end - start) * i / steps)
            points.append((cx + rx * math.cos(a), cy - ry * math.sin(a)))
        self.polyline(points, colour, width)

    def polygon(self, points, colour):
        def inside(x, y):
            hit = False
            n = len(points)
            for i in range(n):
                (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
                if (ya > y) != (yb > y) and x < xa + (y - ya) * (xb - xa) / (yb - ya):
                    hit = not hit
            return hit

        self.each(inside, colour)

    def arrow_head(self, x, y, dx, dy, colour, size=4.0):
        length = math.hypot(dx, dy)
        ux, uy = dx / length, dy / length
        self.polygon([(x + ux * size, y + uy * size), (x - uy * size * 0.7, y + ux * size * 0.7),
                      (x + uy * size * 0.7, y - ux * size * 0.7)], colour)

    def letter(self, ch, x, y, colour, cell=2.0):
        for row, bits in enumerate(FONT[ch]):
            for col, bit in enumerate(bits):
                if bit == "#":
                    self.rect(x + col * cell, y + row * cell, x + (col + 1) * cell - 0.01,
                              y + (row + 1) * cell - 0.01, colour)


# A tiny 3 x 5 pixel font for the axis and view letters.
FONT = {
    "X": ["#.#", "#.#", ".#.", "#.#", "#.#"],
    "Y": ["#.#", "#.#", ".#.", ".#.", ".#."],
    "Z": ["###", "..#", ".#.", "#..", "###"],
    "F": ["###", "#..", "##.", "#..", "#.."],
    "B": ["##.", "#.#", "##.", "#.#", "##."],
    "L": ["#..", "#..", "#..", "#..", "###"],
    "R": ["##.", "#.#", "##.", "#.#", "#.#"],
    "T": ["###", ".#.", ".#.", ".#.", ".#."],
    "M": ["#.#", "###", "#.#", "#.#", "#.#"],
    "I": ["###", ".#.", ".#.", ".#.", "###"],
}

# ----------------------------------------------------------------- glyphs
# Each draws in units of a 24-unit square (cursors of a 16-unit one).


def plane(c):
    c.polygon([(3, 16), (9, 6), (21, 6), (15, 16)], LIGHT)
    c.polyline([(3, 16), (9, 6), (21, 6), (15, 16), (3, 16)], INK)


def sphere(c):
    c.ellipse(12, 12, 9, 9, LIGHT)
    c.ellipse(9, 9, 3, 3, WHITE)
    c.ring(12, 12, 9, 9, INK)
    c.ring(12, 12, 9, 3, BLUE, 1.0, 180, 360)


def cylinder(c):
    c.rect(5, 6, 19, 18, LIGHT)
    c.ellipse(12, 18, 7, 3, LIGHT)
    c.ellipse(12, 6, 7, 3, WHITE)
    c.ring(12, 6, 7, 3, INK)
    c.ring(12, 18, 7, 3, INK, 1.5, 180, 360)
    c.line(5, 6, 5, 18, INK)
    c.line(19, 6, 19, 18, INK)


def free_form(c):
    top = [(3 + i, 8 + 3 * math.sin(i / 3.0)) for i in range(19)]
    bottom = [(x + 0, y + 8) for x, y in top]
    c.polygon(top + bottom[::-1], LIGHT)
    c.polyline(top, INK)
    c.polyline(bottom, INK)
    c.line(3, 8, 3, 16, INK)
    c.line(21, top[-1][1], 21, bottom[-1][1], INK)


def revolved(c):
    profile = [(12, 3), (16, 5), (17, 9), (14, 13), (15, 17), (18, 21)]
    c.polygon(profile + [(24 - x, y) for x, y in profile[::-1]], LIGHT)
    c.polyline(profile, INK)
    c.polyline([(24 - x, y) for x, y in profile], INK)
    c.ring(12, 21, 6, 2, INK, 1.2, 180, 360)
    c.line(12, 1, 12, 23, RED, 1.0)


def extruded(c):
    c.polygon([(4, 10), (10, 10), (10, 20), (4, 20)], LIGHT)
    c.polygon([(4, 10), (10, 4), (16, 4), (10, 10)], WHITE)
    c.polygon([(10, 10), (16, 4), (16, 14), (10, 20)], BLUE)
    c.polyline([(4, 10), (10, 4), (16, 4), (16, 14), (10, 20), (4, 20), (4, 10), (10, 10), (16, 4)], INK)
    c.line(10, 10, 10, 20, INK)
    c.line(17, 14, 22, 9, ORANGE, 1.5)
    c.arrow_head(22, 9, 1, -1, ORANGE, 3)


def symmetry(c):
    c.polygon([(10, 5), (10, 19), (3, 19)], LIGHT)
    c.polygon([(14, 5), (14, 19), (21, 19)], LIGHT)
    c.polyline([(10, 5), (10, 19), (3, 19), (10, 5)], INK)
    c.polyline([(14, 5), (14, 19), (21, 19), (14, 5)], INK)
    for y in range(2, 23, 4):
        c.line(12, y, 12, y + 2, RED, 1.2)


def curves(c):
    for k in range(3):
        c.polyline([(3 + i, 6 + 6 * k + 2 * math.sin(i / 2.5)) for i in range(19)], BLUE, 1.3)
    for k in range(3):
        c.line(6 + 6 * k, 3, 6 + 6 * k, 21, INK, 1.3)


def perpendicular(c):
    c.line(4, 20, 20, 20, INK, 2)
    c.line(12, 4, 12, 20, BLUE, 2)
    c.frame(12, 15, 17, 20, INK, 1)


def parallel(c):
    c.line(4, 18, 18, 4, INK, 2)
    c.line(8, 22, 22, 8, BLUE, 2)


def profile_curve(c):
    c.polyline([(3, 20), (3, 10), (8, 10)], INK, 1.8)
    c.ring(13, 10, 5, 5, INK, 1.8, 0, 180)
    c.polyline([(18, 10), (21, 10), (21, 20), (3, 20)], INK, 1.8)


def clear(c):
    c.line(5, 5, 19, 19, RED, 3)
    c.line(19, 5, 5, 19, RED, 3)


def select_line(c):
    c.line(4, 19, 20, 5, INK, 2)
    c.ellipse(4, 19, 2.2, 2.2, RED)
    c.ellipse(20, 5, 2.2, 2.2, RED)


def paint_filled(c):
    c.polygon([(4, 12), (8, 5), (15, 4), (20, 9), (19, 16), (13, 20), (6, 18)], ORANGE)
    c.polyline([(4, 12), (8, 5), (15, 4), (20, 9), (19, 16), (13, 20), (6, 18), (4, 12)], INK, 1.2)


def paint(c):
    c.polyline([(3 + i, 12 + 5 * math.sin(i / 3.0)) for i in range(19)], ORANGE, 3)
    c.polyline([(3 + i, 12 + 5 * math.sin(i / 3.0)) for i in range(19)], INK, 0.8)


def magic_wand(c):
    c.line(4, 20, 15, 9, INK, 2.5)
    c.polygon([(18, 2), (19.5, 5.5), (23, 6), (20.5, 8.5), (21, 12), (18, 10), (15, 12), (15.5, 8.5), (13, 6),
               (16.5, 5.5)], ORANGE)


def front_only(on):
    def draw(c):
        if on:
            c.rect(2, 2, 22, 22, LIGHT)
        c.frame(2, 2, 22, 22, INK, 1)
        c.letter("F", 9, 7, INK if on else GREY)

    return draw


def sketch_line(c):
    c.line(5, 18, 19, 6, INK, 1.8)
    c.rect(3, 16, 7, 20, BLUE)
    c.rect(17, 4, 21, 8, BLUE)


def tangent_arc(c):
    c.line(3, 18, 11, 18, INK, 1.8)
    c.ring(11, 11, 7, 7, INK, 1.8, 270, 360 + 90)
    c.rect(9, 16, 13, 20, BLUE)


def arc(c):
    c.ring(12, 16, 9, 9, INK, 1.8, 0, 180)
    for x, y in ((3, 16), (12, 7), (21, 16)):
        c.rect(x - 2, y - 2, x + 2, y + 2, BLUE)


def modify(c):
    c.polygon([(6, 3), (6, 19), (10, 15), (13, 21), (15, 20), (12, 14), (17, 14)], WHITE)
    c.polyline([(6, 3), (6, 19), (10, 15), (13, 21), (15, 20), (12, 14), (17, 14), (6, 3)], INK, 1.2)


def add_curve(c):
    c.polyline([(2 + i, 16 + 4 * math.sin(i / 3.0)) for i in range(14)], BLUE, 1.8)
    c.line(18, 3, 18, 13, GREEN, 2.2)
    c.line(13, 8, 23, 8, GREEN, 2.2)


def section_plane(c):
    c.polygon([(3, 17), (9, 7), (21, 7), (15, 17)], LIGHT)
    c.polyline([(3, 17), (9, 7), (21, 7), (15, 17), (3, 17)], INK, 1.2)
    c.line(6, 12, 18, 12, RED, 2)


def extrapolate(c):
    c.polyline([(3 + i, 16 - 0.04 * i * i) for i in range(11)], INK, 1.8)
    for x in (15, 18):
        c.line(x, 11.5 - 0.3 * (x - 14), x + 2, 10.5 - 0.3 * (x - 14), ORANGE, 1.6)
    c.arrow_head(21, 9.5, 1, -0.4, ORANGE, 3)


def align_plane(face):
    def draw(c):
        # A box whose bottom, right or front face is marked.
        c.polyline([(5, 9), (10, 4), (20, 4), (20, 14), (15, 19), (5, 19), (5, 9), (15, 9), (20, 4)], INK, 1)
        c.line(15, 9, 15, 19, INK, 1)
        if face == "bottom":
            c.polygon([(5, 19), (15, 19), (20, 14), (10, 14)], RED)
        elif face == "right":
            c.polygon([(15, 9), (20, 4), (20, 14), (15, 19)], RED)
        else:
            c.polygon([(5, 9), (15, 9), (15, 19), (5, 19)], RED)

    return draw


def interactive_section_plane(c):
    # A plane with a double arrow along its normal: the plane that is dragged.
    c.polygon([(2, 17), (7, 9), (17, 9), (12, 17)], LIGHT)
    c.polyline([(2, 17), (7, 9), (17, 9), (12, 17), (2, 17)], INK, 1.2)
    c.line(19, 4, 19, 20, RED, 1.6)
    c.arrow_head(19, 3, 0, -1, RED, 3.5)
    c.arrow_head(19, 21, 0, 1, RED, 3.5)


def curve_guided_section_plane(c):
    # A guiding curve with a plane standing across it.
    c.polygon([(9, 4), (16, 7), (16, 20), (9, 17)], LIGHT)
    c.polyline([(9, 4), (16, 7), (16, 20), (9, 17), (9, 4)], INK, 1.2)
    c.polyline([(2 + i, 20 - 14 * math.sin(i / 14.0)) for i in range(21)], BLUE, 2.0)


def align_axis(letter, dx, dy):
    def draw(c):
        c.line(12 - 7 * dx, 12 - 7 * dy, 12 + 6 * dx, 12 + 6 * dy, RED, 2)
        c.arrow_head(12 + 6 * dx, 12 + 6 * dy, dx, dy, RED, 4)
        c.letter(letter, 2 if dx >= 0 else 16, 2 if dy >= 0 else 14, INK)

    return draw


def origin(c):
    c.line(5, 19, 20, 19, RED, 1.6)
    c.line(5, 19, 5, 4, GREEN, 1.6)
    c.line(5, 19, 15, 9, BLUE, 1.6)
    c.ellipse(5, 19, 2.5, 2.5, INK)


def reset(c):
    c.ring(12, 12, 7, 7, INK, 2, 60, 360)
    c.arrow_head(15.5, 6, 1, -0.2, INK, 4)


def zoom_all(c):
    c.frame(2, 2, 22, 22, GREY, 1)
    c.ring(10, 10, 5, 5, INK, 1.8)
    c.line(14, 14, 20, 20, INK, 2.5)


def zoom_rect(c):
    for x in range(2, 22, 4):
        c.line(x, 3, x + 2, 3, GREY, 1)
        c.line(x, 15, x + 2, 15, GREY, 1)
    c.line(2, 3, 2, 15, GREY, 1)
    c.line(22, 3, 22, 15, GREY, 1)
    c.ring(10, 9, 4, 4, INK, 1.6)
    c.line(13, 12, 19, 20, INK, 2.2)


def rotate(c):
    c.ring(12, 12, 8, 8, INK, 2, 30, 330)
    c.arrow_head(19, 8, 0.3, -1, INK, 4)


def translate(c):
    c.line(12, 3, 12, 21, INK, 1.8)
    c.line(3, 12, 21, 12, INK, 1.8)
    for dx, dy in ((0, -1), (0, 1), (-1, 0), (1, 0)):
        c.arrow_head(12 + 9 * dx, 12 + 9 * dy, dx, dy, INK, 3.5)


def zoom(c):
    c.ring(10, 10, 6, 6, INK, 1.8)
    c.line(14.5, 14.5, 21, 21, INK, 2.8)
    c.line(7, 10, 13, 10, INK, 1.5)
    c.line(10, 7, 10, 13, INK, 1.5)


def view_cube(face):
    def draw(c):
        c.polyline([(3, 9), (9, 3), (21, 3), (21, 15), (15, 21), (3, 21), (3, 9), (15, 9), (21, 3)], INK, 1)
        c.line(15, 9, 15, 21, INK, 1)
        if face == "I":
            c.polygon([(3, 9), (9, 3), (21, 3), (15, 9)], LIGHT)
            c.polygon([(15, 9), (21, 3), (21, 15), (15, 21)], BLUE)
        else:
            c.polygon([(4, 10), (14, 10), (14, 20), (4, 20)], LIGHT)
            c.letter(face, 6, 10, INK)

    return draw


def axes(c):
    c.line(4, 20, 20, 20, RED, 1.5)
    c.line(4, 20, 4, 4, GREEN, 1.5)
    c.line(4, 20, 14, 10, BLUE, 1.5)


def line_marker(vertical):
    """The tag the sketch editor puts beside a vertical or horizontal line."""
    def draw(c):
        c.rect(0, 0, 24, 24, WHITE)
        c.border(INK)
        if vertical:
            c.line(12, 5, 12, 19, RED, 4)
        else:
            c.line(5, 12, 19, 12, RED, 4)
    return draw


def hot(draw):
    """The picture of a button under the mouse: framed."""

    def run(c):
        draw(c)
        c.border(ORANGE)

    return run


# Cursors: an arrow or a cross hair with a sign of the tool beside it.
def cursor(sign):
    def run(c):
        """An arrow, its hot spot at the tip."""
        c.polygon([(0, 0), (0, 11), (3, 8), (5, 12), (7, 11), (5, 7), (9, 7)], WHITE)
        c.polyline([(0, 0), (0, 11), (3, 8), (5, 12), (7, 11), (5, 7), (9, 7), (0, 0)], BLACK, 1)
        sign(c)

    run.hot_spot = (0, 0)
    return run


def cross_hair(sign):
    def run(c):
        """A cross hair, its hot spot at the centre."""
        c.line(7.5, 0, 7.5, 15, BLACK, 1)
        c.line(0, 7.5, 15, 7.5, BLACK, 1)
        c.rect(6.5, 6.5, 8.5, 8.5, WHITE)
        sign(c)

    run.hot_spot = (7, 7)
    return run


def sign_plus(c):
    c.line(12, 9, 12, 15, GREEN, 1.2)
    c.line(9, 12, 15, 12, GREEN, 1.2)


def sign_dot(c):
    c.ellipse(12.5, 12.5, 2.5, 2.5, BLUE)


def sign_line(c):
    c.line(9, 15, 15, 9, BLUE, 1.2)


def sign_arrow(c):
    c.line(9, 12, 15, 12, ORANGE, 1.2)
    c.arrow_head(14, 12, 1, 0, ORANGE, 2.5)


def sign_ring(c):
    c.ring(12.5, 12.5, 2.8, 2.8, RED, 1.0)


def sign_none(c):
    pass


# ------------------------------------------------------------- encodings


def bmp_file(c):
    """A 24-bit bitmap file (clear pixels as the button face)."""
    stride = (c.w * 3 + 3) // 4 * 4
    rows = b""
    for y in range(c.h - 1, -1, -1):
        row = b"".join(bytes(((p or FACE)[2], (p or FACE)[1], (p or FACE)[0])) for p in c.px[y])
        rows += row + b"\0" * (stride - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, c.w, c.h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(info) + len(rows), 0, 0, 54) + info + rows


def icon_file(c, kind, hot_x=0, hot_y=0):
    """An icon (kind 1) or cursor (kind 2) file of one 32-bit picture."""
    rows = b""
    mask = b""
    mask_stride = (c.w + 31) // 32 * 4
    for y in range(c.h - 1, -1, -1):
        row_mask = bytearray(mask_stride)
        for x, p in enumerate(c.px[y]):
            if p is None:
                rows += b"\0\0\0\0"
                row_mask[x // 8] |= 0x80 >> (x % 8)
            else:
                rows += bytes((p[2], p[1], p[0], 255))
        mask += bytes(row_mask)
    info = struct.pack("<IiiHHIIiiII", 40, c.w, 2 * c.h, 1, 32, 0, len(rows) + len(mask), 0, 0, 0, 0)
    image = info + rows + mask
    planes, bit_count = (hot_x, hot_y) if kind == 2 else (1, 32)
    entry = struct.pack("<BBBBHHII", c.w, c.h, 0, 0, planes, bit_count, len(image), 6 + 16)
    return struct.pack("<HHH", 0, kind, 1) + entry + image


# --------------------------------------------------------------- contents

# (type, name, id, size, glyph); the ids are the ones the dialogs, views and
# modes load.
PICTURES = [
    # The quick shape pickers and the primitive panel.
    ("ICON", "IDI_PIC_SPHERE", 3002, 24, sphere),
    ("ICON", "IDI_PIC_PLANE", 3003, 24, plane),
    ("ICON", "IDI_PIC_CYLINDER", 3004, 24, cylinder),
    ("ICON", "IDI_PIC_PERPENDICULAR", 3006, 24, perpendicular),
    ("ICON", "IDI_PIC_PARALLEL", 3007, 24, parallel),
    ("ICON", "IDI_PIC_PROFILE_CURVE", 3008, 24, profile_curve),
    ("ICON", "IDI_PIC_CLEAR", 3009, 24, clear),
    ("ICON", "IDI_PIC_FREE_FORM", 3038, 24, free_form),
    ("ICON", "IDI_PIC_REVOLVED", 3039, 24, revolved),
    ("ICON", "IDI_PIC_EXTRUDED", 3055, 24, extruded),
    ("ICON", "IDI_PIC_SYMMETRY", 3076, 24, symmetry),
    ("ICON", "IDI_PIC_CURVES", 3077, 24, curves),
    # The selection tools (menus, segmentation buttons).
    ("ICON", "IDI_PIC_SELECT_LINE", 3020, 16, select_line),
    ("ICON", "IDI_PIC_PAINT_FILLED", 3021, 16, paint_filled),
    ("ICON", "IDI_PIC_PAINT", 3022, 16, paint),
    ("ICON", "IDI_PIC_MAGIC_WAND", 3023, 16, magic_wand),
    ("ICON", "IDI_PIC_FRONT_ONLY", 3067, 16, front_only(True)),
    # The sketch and curve-network tools (menus and the Curves page).
    ("ICON", "IDI_PIC_SKETCH_LINE", 3047, 16, sketch_line),
    ("ICON", "IDI_PIC_TANGENT_ARC", 3048, 16, tangent_arc),
    ("ICON", "IDI_PIC_ARC", 3049, 16, arc),
    ("ICON", "IDI_PIC_MODIFY", 3052, 16, modify),
    ("ICON", "IDI_PIC_ADD_CURVE", 3053, 16, add_curve),
    ("ICON", "IDI_PIC_SECTION_PLANE", 3061, 16, section_plane),
    ("ICON", "IDI_PIC_EXTRAPOLATE", 3072, 16, extrapolate),
    # The section panel of the Curves page.
    ("ICON", "IDI_PIC_ALIGN_BOTTOM", 3025, 16, align_plane("bottom")),
    ("ICON", "IDI_PIC_ALIGN_RIGHT", 3026, 16, align_plane("right")),
    ("ICON", "IDI_PIC_ALIGN_FRONT", 3027, 16, align_plane("front")),
    ("ICON", "IDI_PIC_INTERACTIVE_SECTION", 3062, 16, interactive_section_plane),
    ("ICON", "IDI_PIC_CURVE_GUIDED_SECTION", 3086, 16, curve_guided_section_plane),
    # The shapes dialog's image buttons.
    ("BITMAP", "IDB_PIC_SELECT_LINE", 3020, 16, select_line),
    ("BITMAP", "IDB_PIC_PAINT_FILLED", 3021, 16, paint_filled),
    ("BITMAP", "IDB_PIC_PAINT", 3022, 16, paint),
    ("BITMAP", "IDB_PIC_MAGIC_WAND", 3023, 16, magic_wand),
    ("BITMAP", "IDB_PIC_ALIGN_BOTTOM", 3025, 16, align_plane("bottom")),
    ("BITMAP", "IDB_PIC_ALIGN_RIGHT", 3026, 16, align_plane("right")),
    ("BITMAP", "IDB_PIC_ALIGN_FRONT", 3027, 16, align_plane("front")),
    ("BITMAP", "IDB_PIC_ALIGN_ORIGIN", 3028, 16, origin),
    ("BITMAP", "IDB_PIC_ALIGN_X", 3029, 16, align_axis("X", 1, 0)),
    ("BITMAP", "IDB_PIC_ALIGN_Y", 3030, 16, align_axis("Y", 0, -1)),
    ("BITMAP", "IDB_PIC_ALIGN_Z", 3031, 16, align_axis("Z", 0.7, 0.7)),
    ("BITMAP", "IDB_PIC_RESET", 3056, 16, reset),
    ("BITMAP", "IDB_PIC_FRONT_OFF", 3067, 16, front_only(False)),
    ("BITMAP", "IDB_PIC_FRONT_ON", 3071, 16, front_only(True)),
    # The sketch editor's markers of vertical and horizontal lines.
    ("BITMAP", "IDB_PIC_VERTICAL_MARKER", 3050, 12, line_marker(True)),
    ("BITMAP", "IDB_PIC_HORIZONTAL_MARKER", 3051, 12, line_marker(False)),
    # The views' navigation toolbar: each button at rest and under the mouse.
    ("BITMAP", "IDB_PIC_ZOOM_ALL", 17008, 24, zoom_all),
    ("BITMAP", "IDB_PIC_ZOOM_ALL_HOT", 17009, 24, hot(zoom_all)),
    ("BITMAP", "IDB_PIC_ROTATE", 17010, 24, rotate),
    ("BITMAP", "IDB_PIC_ROTATE_HOT", 17011, 24, hot(rotate)),
    ("BITMAP", "IDB_PIC_TRANSLATE", 17012, 24, translate),
    ("BITMAP", "IDB_PIC_TRANSLATE_HOT", 17014, 24, hot(translate)),
    ("BITMAP", "IDB_PIC_ZOOM", 17015, 24, zoom),
    ("BITMAP", "IDB_PIC_ZOOM_HOT", 17016, 24, hot(zoom)),
    ("BITMAP", "IDB_PIC_VIEW_FRONT", 17019, 24, view_cube("F")),
    ("BITMAP", "IDB_PIC_VIEW_FRONT_HOT", 17020, 24, hot(view_cube("F"))),
    ("BITMAP", "IDB_PIC_VIEW_BACK", 17021, 24, view_cube("B")),
    ("BITMAP", "IDB_PIC_VIEW_BACK_HOT", 17030, 24, hot(view_cube("B"))),
    ("BITMAP", "IDB_PIC_VIEW_LEFT", 17022, 24, view_cube("L")),
    ("BITMAP", "IDB_PIC_VIEW_LEFT_HOT", 17023, 24, hot(view_cube("L"))),
    ("BITMAP", "IDB_PIC_VIEW_RIGHT", 17024, 24, view_cube("R")),
    ("BITMAP", "IDB_PIC_VIEW_RIGHT_HOT", 17025, 24, hot(view_cube("R"))),
    ("BITMAP", "IDB_PIC_VIEW_TOP", 17026, 24, view_cube("T")),
    ("BITMAP", "IDB_PIC_VIEW_TOP_HOT", 17027, 24, hot(view_cube("T"))),
    ("BITMAP", "IDB_PIC_VIEW_BOTTOM", 17028, 24, view_cube("M")),
    ("BITMAP", "IDB_PIC_VIEW_BOTTOM_HOT", 17029, 24, hot(view_cube("M"))),
    ("BITMAP", "IDB_PIC_ZOOM_RECT", 17031, 24, zoom_rect),
    ("BITMAP", "IDB_PIC_ZOOM_RECT_HOT", 17032, 24, hot(zoom_rect)),
    ("BITMAP", "IDB_PIC_VIEW_ISOMETRIC", 18037, 24, view_cube("I")),
    ("BITMAP", "IDB_PIC_VIEW_ISOMETRIC_HOT", 18038, 24, hot(view_cube("I"))),
    ("BITMAP", "IDB_PIC_AXES", 3032, 24, axes),
    ("BITMAP", "IDB_PIC_AXES_HOT", 3033, 24, hot(axes)),
    # Cursors of the modes and the navigation (hot spot at the arrow's tip
    # or the cross hair's centre).
    ("CURSOR", "IDC_PIC_SKETCH_TOOL", 3015, 16, cross_hair(sign_plus)),
    ("CURSOR", "IDC_PIC_CURSOR_3016", 3016, 16, cross_hair(sign_none)),
    ("CURSOR", "IDC_PIC_OVER_CURVE", 3017, 16, cursor(sign_dot)),
    ("CURSOR", "IDC_PIC_CURSOR_3018", 3018, 16, cursor(sign_line)),
    ("CURSOR", "IDC_PIC_CURSOR_3019", 3019, 16, cursor(sign_arrow)),
    ("CURSOR", "IDC_PIC_CURSOR_3021", 3021, 16, cross_hair(sign_dot)),
    ("CURSOR", "IDC_PIC_DEVIATION", 3041, 16, cursor(sign_ring)),
    ("CURSOR", "IDC_PIC_CURSOR_3043", 3043, 16, cross_hair(sign_line)),
    ("CURSOR", "IDC_PIC_CURSOR_3044", 3044, 16, cross_hair(sign_ring)),
    ("CURSOR", "IDC_PIC_ON_MESH", 3069, 16, cross_hair(sign_ring)),
    ("CURSOR", "IDC_PIC_EXTRAPOLATE", 3073, 16, cursor(sign_arrow)),
    ("CURSOR", "IDC_PIC_ROTATE", 17001, 16, cursor(sign_ring)),
    ("CURSOR", "IDC_PIC_TRANSLATE", 17002, 16, cursor(sign_plus)),
    ("CURSOR", "IDC_PIC_ZOOM", 17003, 16, cursor(sign_dot)),
    ("CURSOR", "IDC_PIC_TOOLBAR", 17004, 16, cursor(sign_none)),
    ("CURSOR", "IDC_PIC_ROTATE_ALTERNATE", 17007, 16, cursor(sign_ring)),
    ("CURSOR", "IDC_PIC_ZOOM_RECT", 17008, 16, cross_hair(sign_none)),
    ("CURSOR", "IDC_PIC_IDLE", 17032, 16, cursor(sign_none)),
]


def hex_lines(data, width=64):
    for i in range(0, len(data), width):
        yield "    '" + data[i:i + width].hex() + "'"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    header = ["// Generated by make_pictures.py: the ids of the plug-in's button pictures,",
              "// tool icons and cursors. Edit the script, not this file.", "#pragma once", ""]
    script = ["// Generated by make_pictures.py: the plug-in's button pictures, tool icons",
              "// and cursors, drawn from plain geometric glyphs. Edit the script, not",
              "// this file.", '#include "pictures.h"', ""]
    for kind, name, number, size, glyph in PICTURES:
        header.append("#define %s %d" % (name, number))
        background = FACE if kind == "BITMAP" else CLEAR
        canvas = Canvas(size, size, background, 16.0 if kind == "CURSOR" else 24.0)
        glyph(canvas)
        if kind == "BITMAP":
            data = bmp_file(canvas)
        elif kind == "ICON":
            data = icon_file(canvas, 1)
        else:
            data = icon_file(canvas, 2, *glyph.hot_spot)
        script.append("%s %s" % (name, kind))
        script.append("BEGIN")
        script.extend(hex_lines(data))
        script.append("END")
        script.append("")
    with open(os.path.join(here, "pictures.h"), "w") as f:
        f.write("\n".join(header) + "\n")
    with open(os.path.join(here, "pictures.rc"), "w") as f:
        f.write("\n".join(script))


if __name__ == "__main__":
    main()
