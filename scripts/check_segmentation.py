#!/usr/bin/env python3
"""Measures the regions segmentation split the sample scan into against the
sample part's faces, and fails when a face is split into scraps or one
region reaches over two faces.

  check_segmentation.py COMMAND_LINE_FILE

The file holds the host's command line; the "_List" that follows
"_vtlSegmentation" lists the meshes the split made: the first one is the
sharp band (the edges between faces, and faces curved more sharply than the
sensitivity), which took the scan's place, and every other one is a region.
A region belongs to the face whose box (widened by 1.5 mm, for edges the
scan's grid cuts by up to one spacing) holds its whole box, the smallest such
face when several do.
"""
import re
import sys

MARGIN = 1.5

# The sample's faces (millimetres), as its description states them:
# (name, (xmin, ymin, zmin), (xmax, ymax, zmax)).
FACES = [
    ("block bottom, z = 0", (0, 0, 0), (120, 60, 0)),
    ("block top, z = 20", (0, 0, 20), (120, 60, 20)),
    ("block front, y = 0", (0, 0, 0), (120, 0, 20)),
    ("block back, y = 60, with its dent 1 deep", (0, 59, 0), (120, 60, 20)),
    ("block left, x = 0", (0, 0, 0), (0, 60, 20)),
    ("block right, x = 120", (120, 0, 0), (120, 60, 20)),
    ("boss top, z = 35", (8, 18, 35), (32, 42, 35)),
    ("boss wall, radius 12", (8, 18, 20), (32, 42, 35)),
    ("knob top, z = 32", (98, 23, 32), (112, 37, 32)),
    ("knob wall", (98, 23, 20), (112, 37, 32)),
    ("through hole's wall, radius 8", (72, 22, 0), (88, 38, 20)),
    ("spherical dimple", (40, 20, 16), (60, 40, 20)),
]


def split_meshes(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    at = text.find("Command: _vtlSegmentation")
    listed = text.find("Command: _List", at) if at >= 0 else -1
    if listed < 0:
        sys.exit("check_segmentation: no _List after _vtlSegmentation in " + path)
    end = text.find("Command: ", listed + 1)
    meshes = []
    number = r"(-?[0-9.e+-]+)"
    pattern = (r"^  (\d+) mesh, (\d+) faces?, from \(%s, %s, %s\) to \(%s, %s, %s\)" % ((number,) * 6))
    for line in text[listed:end if end >= 0 else len(text)].splitlines():
        m = re.match(pattern, line)
        if m:
            values = [float(v) for v in m.groups()[2:]]
            meshes.append((int(m.group(1)), int(m.group(2)), tuple(values[:3]), tuple(values[3:])))
    return meshes


def holds(face, low, high):
    _, fl, fh = face
    return all(fl[k] - MARGIN <= low[k] and high[k] <= fh[k] + MARGIN for k in range(3))


def volume(face):
    _, fl, fh = face
    v = 1.0
    for k in range(3):
        v *= fh[k] - fl[k] + 2 * MARGIN
    return v


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    meshes = split_meshes(sys.argv[1])
    if len(meshes) < 2:
        print("check: FAILED: segmentation made %d mesh(es), no region beside the sharp band" % len(meshes))
        return 1
    band, regions = meshes[0], meshes[1:]
    print("check: segmentation split the scan into %d regions and the sharp band (object %d, %d triangles)"
          % (len(regions), band[0], band[1]))
    found = {}
    failed = 0
    for serial, triangles, low, high in regions:
        candidates = [face for face in FACES if holds(face, low, high)]
        box = "(%.2f, %.2f, %.2f) to (%.2f, %.2f, %.2f)" % (*low, *high)
        if not candidates:
            print("  object %d, %d triangles, %s: OVER TWO FACES OR MORE" % (serial, triangles, box))
            failed += 1
            continue
        face = min(candidates, key=volume)
        found.setdefault(face[0], []).append(serial)
        print("  object %d, %d triangles, %s: %s" % (serial, triangles, box, face[0]))
    for name, serials in found.items():
        if len(serials) > 1:
            print("  %s: SPLIT INTO %d REGIONS (objects %s)" % (name, len(serials), ", ".join(map(str, serials))))
            failed += 1
    band_faces = [face[0] for face in FACES if face[0] not in found]
    if band_faces:
        print("  in the sharp band, not a region of their own: " + "; ".join(band_faces))
    print("check: %s" % ("every region is one face, no face in scraps" if not failed else "segmentation FAILED"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
