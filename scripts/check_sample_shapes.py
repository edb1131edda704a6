#!/usr/bin/env python3
"""Measures the surfaces the main job created against the sample part's true
shapes, and fails when one is farther from its true surface than the
tolerance.

  check_sample_shapes.py SURFACE_POINTS_FILE SAMPLE_DESCRIPTION KIND...

The points file holds the host's "SurfacePoints" lines (one per brep face, in
the order the shapes were created); each KIND names what the surface of the
same position should be: plane (the block's top face), cylinder (the boss),
extruded-boss (the boss as an extrusion of an arc) or extruded-wall (the
block's front face as an extrusion of a straight profile).
"""
import math
import re
import sys

# The sample's true shapes (millimetres), as its description states them.
TOP_Z = 20.0
BOSS_AXIS = (20.0, 30.0)
BOSS_RADIUS = 12.0
BOSS_Z = (20.0, 35.0)


def read_surfaces(path):
    surfaces = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = re.match(r"surface (\d+) face (\d+):(.*)", line.strip())
            if not m:
                continue
            points = [tuple(float(c) for c in word.split(",")) for word in m.group(3).split()]
            surfaces.append((int(m.group(1)), points))
    return surfaces


def noise_sigma(path):
    with open(path, encoding="utf-8") as f:
        m = re.search(r"standard deviation ([0-9.eE+-]+)", f.read())
    if not m:
        sys.exit("check_sample_shapes: no noise level in " + path)
    return float(m.group(1))


def sub(a, b):
    return tuple(x - y for x, y in zip(a, b))


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def unit(a):
    n = math.sqrt(sum(x * x for x in a))
    return tuple(x / n for x in a) if n > 0 else a


def measure_plane(points):
    # The grid is 9 x 9: corners 0, 8, 72 and 80.
    normal = unit(cross(sub(points[8], points[0]), sub(points[72], points[0])))
    if normal[2] < 0:
        normal = tuple(-x for x in normal)
    height = sum(p[2] for p in points) / len(points)
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    deviation = max(abs(p[2] - TOP_Z) for p in points)
    fitted = "normal (%.5f, %.5f, %.5f), height %.4f, %.2f x %.2f" % (
        *normal, height, max(xs) - min(xs), max(ys) - min(ys))
    truth = "normal (0, 0, 1), height %g (block top 120 x 60)" % TOP_Z
    return fitted, truth, deviation


def measure_boss(points):
    radii = [math.hypot(p[0] - BOSS_AXIS[0], p[1] - BOSS_AXIS[1]) for p in points]
    # Only the part of the surface along the real boss counts: an extension
    # beyond its ends is not compared with anything.
    inside = [r for r, p in zip(radii, points) if BOSS_Z[0] <= p[2] <= BOSS_Z[1]]
    if not inside:
        return "no point along the boss", "", float("inf")
    # The axis: a generator line of the grid runs along it in one direction.
    a = unit(sub(points[8], points[0]))
    b = unit(sub(points[72], points[0]))
    axis = a if abs(a[2]) > abs(b[2]) else b
    zs = [p[2] for p in points]
    deviation = max(abs(r - BOSS_RADIUS) for r in inside)
    fitted = "radius %.4f (%.4f..%.4f), axis (%.5f, %.5f, %.5f), z %.2f..%.2f" % (
        sum(inside) / len(inside), min(inside), max(inside), *axis, min(zs), max(zs))
    truth = "radius %g, axis (0, 0, 1) through (%g, %g), z %g..%g" % (
        BOSS_RADIUS, *BOSS_AXIS, *BOSS_Z)
    return fitted, truth, deviation


def measure_front_wall(points):
    # The block's front face, y = 0, as an extrusion of a straight profile;
    # only the part over the face is compared.
    inside = [p for p in points if 0.0 <= p[0] <= 120.0 and 0.0 <= p[2] <= 20.0]
    if not inside:
        return "no point over the front face", "", float("inf")
    a = unit(sub(points[8], points[0]))
    b = unit(sub(points[72], points[0]))
    direction = a if abs(a[2]) > abs(b[2]) else b
    normal = unit(cross(a, b))
    if normal[1] < 0:
        normal = tuple(-x for x in normal)
    deviation = max(abs(p[1]) for p in inside)
    fitted = "normal (%.5f, %.5f, %.5f), extrusion direction (%.5f, %.5f, %.5f), mean y %.4f" % (
        *normal, *direction, sum(p[1] for p in inside) / len(inside))
    truth = "plane y = 0 (normal (0, 1, 0)), extruded along (0, 0, 1), x 0..120, z 0..20"
    return fitted, truth, deviation


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    surfaces = read_surfaces(sys.argv[1])
    sigma = noise_sigma(sys.argv[2])
    kinds = sys.argv[3:]
    tolerance = 10.0 * sigma
    print("check: scan noise %g mm, tolerance %g mm (ten times the noise)" % (sigma, tolerance))
    if len(surfaces) != len(kinds):
        print("check: FAILED: %d surfaces for %d shapes" % (len(surfaces), len(kinds)))
        return 1
    failed = 0
    for (serial, points), kind in zip(surfaces, kinds):
        if len(points) != 81:
            print("check: FAILED: surface %d has %d points" % (serial, len(points)))
            failed += 1
            continue
        measure = {"plane": measure_plane, "cylinder": measure_boss, "extruded-boss": measure_boss,
                   "extruded-wall": measure_front_wall}.get(kind)
        if not measure:
            sys.exit("check_sample_shapes: unknown kind " + kind)
        fitted, truth, deviation = measure(points)
        verdict = "ok" if deviation <= tolerance else "OUTSIDE THE TOLERANCE"
        print("  %s (object %d)\n    fitted: %s\n    true:   %s\n    largest deviation from the true surface: %.4f mm, %s"
              % (kind, serial, fitted, truth, deviation, verdict))
        failed += deviation > tolerance
    print("check: %s" % ("all shapes within the tolerance" if not failed else "%d shape(s) FAILED" % failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
