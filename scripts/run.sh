#!/usr/bin/env bash
# The main job: the stand-in Dezaz host runs the plug-in on the bundled
# sample scan, the way a user would. The main road: the host imports the
# scan and opens the shapes dialog on it; clicks in the dialog's view mark
# regions (the magic wand on the block's top face, brush strokes over the
# spherical dimple, the through hole's wall (the view tilted), the boss,
# the front face and the knob's wall), and the Type list fits a plane, a
# sphere, two cylinders, an extruded surface (stood upright) and a revolved
# surface (its profile traced as a spline on the Sketch tab) to them, and
# the boss once more as an upright extrusion of an arc; seen from the back,
# the face around the back face's dent is fitted as a free form lofted along
# a guide drawn on the Guide curve tab; "Create ALL in Dezaz"
# adds them to the document, which is saved. A second host process opens the
# file and must find the same breps and, in the shapes dialog, the same
# shapes; each chosen in the list and created again must give the same
# brep. Each created surface is measured against the sample's true shape
# (its dimensions are written beside the scan) and the run fails when one
# deviates by more than ten times the scan's noise. Screenshots of the
# dialog after each step go to screenshots/. The "Primitives" panel fits a
# cylinder through the boss's regions that segmentation split off, measured
# the same way. Then every other command of the plug-in runs once (the
# tools, a tapered extrusion of a drawn curve, a quick trim of a drawn
# sheet, help and about), the document is saved,
# reopened and saved again. What each command did is listed at the end.
# Everything lands in one output folder, named at the end.
#
#   scripts/run.sh [OUTPUT_DIR]        # default: run-output/ in the repository
#   RUN_BUILD_DIR=... scripts/run.sh   # an existing build tree is used as it is
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

build=${RUN_BUILD_DIR:-$root/build-release}
jobs=${JOBS:-$(nproc)}
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVTL_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j "$jobs" --target dezaz vtl_for_dezaz vtl_sample

out=$(mkdir -p "${1:-$root/run-output}" && cd "${1:-$root/run-output}" && pwd)
rm -rf "$out/screenshots" "$out/main_road_screenshots" "$out"/*.dzz
sample=$build/resources/samples/machined_part.stl
cp "$sample" "$build/resources/samples/machined_part.txt" "$out/"

# Headless: Mesa's software rasteriser on the surfaceless EGL platform; the
# plug-in's settings go to a registry of this run.
export EGL_PLATFORM=surfaceless LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe
export DEZAZ_REGISTRY=${DEZAZ_REGISTRY:-$out/registry}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp:print_suppressions=0}
# In a sanitizer build, leave dynamic TLS to the allocator (see scripts/test.sh).
export ASAN_OPTIONS=${ASAN_OPTIONS:-intercept_tls_get_addr=0}
# The maker's web site (help pages, update check): a loopback port where
# nothing listens, so that the run never leaves the machine.
export VTL_WEB_SITE=${VTL_WEB_SITE:-http://127.0.0.1:9/}
host=("$build/dezaz" --plugin "$build/vtl_for_dezaz.so" --headless)

# The shapes dialog's title is the plug-in's name and version.
echo >"$out/empty.script"
title=$("${host[@]}" --script "$out/empty.script" | sed -n 's/^Plug-in \(.*\) loaded\.$/\1/p' | head -1)
rm -f "$out/empty.script"
[[ -n $title ]] || { echo "run.sh: the plug-in did not load" >&2; exit 1; }

# A brush stroke over a rectangle of the view (fractions of its width and
# height), row by row, as a user paints a region.
stroke() {
  awk -v x0="$1" -v x1="$2" -v y0="$3" -v y1="$4" -v rows="$5" 'BEGIN {
    for (r = 0; r < rows; r++) {
      y = y0 + (y1 - y0) * r / (rows - 1)
      for (i = 0; i <= 20; i++) { t = (r % 2) ? 1 - i / 20 : i / 20; printf " %.4f,%.4f", x0 + (x1 - x0) * t, y }
    }
  }'
}
# The knob's outline seen from the front (its right side), from its foot
# to its top: x = 105 + 7 - 2 sin(pi (z - 20) / 12), y = 30 (machined_part.txt).
knob_outline() {
  awk 'BEGIN { pi = atan2(0, -1); for (i = 0; i <= 16; i++) { z = 20 + 0.75 * i; printf " %.4f,30,%.4f", 112 - 2 * sin(pi * (z - 20) / 12), z } }'
}
# Seen from the back, a point (x, z) of the block's back face lies at these
# fractions of the view's width and height (read off the view's picture:
# x = 120 at 0.136, x = 0 at 0.866; z = 0 at 0.604, z = 20 at 0.487).
back_x() { awk -v x="$1" 'BEGIN { printf "%.4f", 0.8655 - 0.0060795 * x }'; }
back_z() { awk -v z="$1" 'BEGIN { printf "%.4f", 0.6038 - 0.005863 * z }'; }
# The guide across the dent: clicks along the back face's middle (z = 10)
# from x = 105 to x = 15; the last one is the double click that finishes it.
guide_clicks() {
  for x in 105 80 60 40; do printf '_DialogViewClick "%s" %s,%s\n' "$T" "$(back_x $x)" "$(back_z 10)"; done
  printf '_DialogViewClick "%s" double %s,%s\n' "$T" "$(back_x 15)" "$(back_z 10)"
}
shots=$out/main_road_screenshots
T=$title
cat >"$out/main_road.script" <<SCRIPT
# The sample scan into a host mesh, and the shapes dialog on it
_Import "$sample"
_SelAll
> MessageBox Yes For the best results
_vtlShapes
_Screenshot "$shots/01 dialog open"
# The block's top face: the magic wand at 4 degrees, seen from the top
_DialogText "$T" 3023 4
_DialogViewClick "$T" 0.5,0.63
_DialogCombo "$T" 3022 Plane
_Screenshot "$shots/02 plane fitted"
# The spherical dimple: brush strokes over its middle (6 of its 8 radius, so
# that its rim and the top face stay out), seen from the top, front-facing
# triangles only
_DialogButton "$T" 3106
_DialogButton "$T" 3060
_DialogButton "$T" 3040
_DialogViewClick "$T"$(stroke 0.425 0.455 0.485 0.515 4)
_DialogCombo "$T" 3022 Sphere
_Screenshot "$shots/03 sphere fitted"
# The through hole: the view tilted with the view toolbar's Rotate button
# until the hole's far wall shows, Escape to end rotating, and a brush
# stroke along that wall
_DialogViewClick "$T" 0.029,0.375
_DialogViewClick "$T" 0.5,0.5 0.5,0.45 0.5,0.40 0.5,0.35 0.5,0.30
_DialogViewKey "$T" Escape
_DialogButton "$T" 3106
_DialogViewClick "$T"$(stroke 0.607 0.639 0.483 0.489 2)
_DialogCombo "$T" 3022 Cylinder
_Screenshot "$shots/04 hole fitted"
# The boss: brush strokes over its front, seen from the front
_DialogButton "$T" 3106
_DialogViewCommand "$T" 32791
_DialogViewClick "$T"$(stroke 0.215 0.29 0.415 0.46 4)
_DialogCombo "$T" 3022 Cylinder
_Screenshot "$shots/05 cylinder fitted"
# The same strip of the boss as an upright extrusion: its profile is an arc
# of the boss's circle
_DialogButton "$T" 3106
_DialogViewClick "$T"$(stroke 0.215 0.29 0.415 0.46 4)
_DialogCombo "$T" 3022 Extruded
_DialogViewCommand "$T" 32850
_Screenshot "$shots/06 boss extruded"
# The block's front face, extruded upright
_DialogButton "$T" 3106
_DialogViewClick "$T"$(stroke 0.30 0.60 0.515 0.585 4)
_DialogCombo "$T" 3022 Extruded
_DialogViewCommand "$T" 32850
_Screenshot "$shots/07 extruded surface fitted"
# The knob's wall: brush strokes over its front, between its foot and its
# top (the strokes reach z 20.5 to 31.5; the block's front face stays out),
# revolved about the axis its normals give. Its automatic profile is one
# arc, which strays from the sine wall: on the Sketch tab, with snapping off,
# the view zoomed in on the knob (the view toolbar's zoom rectangle) and
# Escape, the Curve tool traces a spline along the wall's outline, read off
# the scan at every 0.75 mm of height and taken onto the sketch's plane, and
# Finish ends it
_DialogButton "$T" 3106
_DialogViewClick "$T"$(stroke 0.757 0.791 0.433 0.468 5)
_DialogCombo "$T" 3022 Revolved
_DialogTab "$T" Sketch
_DialogButton "$T" 3095
_DialogViewClick "$T" 0.029,0.342
_DialogViewClick "$T" 0.68,0.38 0.78,0.44 0.87,0.50
_DialogViewKey "$T" Escape
_DialogViewCommand "$T" 32826
_DialogSketchClick "$T"$(knob_outline)
_DialogViewCommand "$T" 32815
_Screenshot "$shots/08 knob revolved"
_DialogViewCommand "$T" 32790
_DialogTab "$T" Shape
# The free-form dent in the block's back face: seen from the back, brush
# strokes over the face around it (x 15 to 105, z 4 to 16), a Free Form
# fitted to them, and on the Guide curve tab a guide clicked across the
# dent along the face, which the loft follows once a double click on its
# last point finishes it
_DialogButton "$T" 3106
_DialogViewCommand "$T" 32792
_DialogViewClick "$T"$(stroke "$(back_x 105)" "$(back_x 15)" "$(back_z 4)" "$(back_z 16)" 5)
_DialogCombo "$T" 3022 Free Form
_DialogTab "$T" Guide curve
$(guide_clicks)
_Screenshot "$shots/09 free form along its guide"
_DialogTab "$T" Shape
_DialogList "$T" 3101
# Everything into the document
_DialogButton "$T" 4
_Screenshot "$shots/10 created in the document"
_DialogButton "$T" 2
_List
_SurfacePoints
# The deviation of the scan from the created surfaces: the analyser prints
# its statistics and colours the scan, shown with the legend
_vtlAnalyzer
_Screenshot "$shots/11 deviation of the scan"
_Save "$out/main_road.dzz"
SCRIPT
# The road starts from the dialog's default settings: a registry of its own.
rm -rf "$out/main_road_registry"
echo "run.sh: the main road (first host process)"
DEZAZ_REGISTRY=$out/main_road_registry "${host[@]}" --script "$out/main_road.script" >"$out/main_road.txt"
grep -v '^surface \|^Command: _DialogViewClick' "$out/main_road.txt"

# The shapes the dialog listed, and the surfaces of the Nth _SurfacePoints
# (serial numbers are the process's own).
shapes_of() { sed -n '/^Command: _DialogList /,/^Command:/p' "$1" | grep '^  ' | sed 's/ (selected)$//'; }
surfaces_of() {
  awk -v n="${2:-1}" '/^Command: /{ on = ($2 == "_SurfacePoints") && (++seen == n) } on && /^surface /' "$1" |
    sed 's/^surface [0-9]* //'
}
# A second process: the saved document, its breps and the shapes of its
# mesh; then each shape chosen in the list and created again, as a user
# would to redo one
{
  cat <<SCRIPT
_Open "$out/main_road.dzz"
_List
_SurfacePoints
> Object first
_vtlShapes
_DialogList "$T" 3101
SCRIPT
  shapes_of "$out/main_road.txt" | sed 's/^  //' | while IFS= read -r shape; do
    printf '_DialogListSelect "%s" 3101 %s\n_DialogButton "%s" 3\n' "$T" "$shape" "$T"
  done
  # The picture once a shape is current again (the last one chosen, the
  # free form, seen from the back where it lies).
  printf '_DialogViewCommand "%s" 32792\n_Screenshot "%s"\n' "$T" "$shots/12 reopened"
  printf '_DialogButton "%s" 2\n_SurfacePoints\n' "$T"
} >"$out/main_road_reopen.script"
echo "run.sh: the saved document in a second host process"
DEZAZ_REGISTRY=$out/main_road_registry "${host[@]}" --script "$out/main_road_reopen.script" >"$out/main_road_reopen.txt"
grep -v '^surface \|^Command: _DialogViewClick' "$out/main_road_reopen.txt"

# The same breps, the same shapes listed in the dialog, and each shape
# created again from the reopened document the same brep as the first time.
created=$(surfaces_of "$out/main_road.txt")
[[ -n $created ]] && diff <(echo "$created") <(surfaces_of "$out/main_road_reopen.txt") >/dev/null ||
  { echo "run.sh: the reopened document holds other breps" >&2; exit 1; }
[[ -n $(shapes_of "$out/main_road.txt") ]] && diff <(shapes_of "$out/main_road.txt") <(shapes_of "$out/main_road_reopen.txt") ||
  { echo "run.sh: the reopened document lists other shapes" >&2; exit 1; }
diff <(echo "$created") <(surfaces_of "$out/main_road_reopen.txt" 2 | tail -n "$(echo "$created" | wc -l)") >/dev/null ||
  { echo "run.sh: a shape of the reopened document, created again, gave another brep" >&2; exit 1; }
echo "run.sh: the second process found the same breps and shapes, and created each shape again as it was:"
shapes_of "$out/main_road_reopen.txt"
# Each created surface against the sample's true shape.
python3 "$root/scripts/check_sample_shapes.py" "$out/main_road.txt" "$out/machined_part.txt" \
  plane sphere hole cylinder extruded-boss extruded-wall revolved free-form

# A curve network drawn on the scan through the Curves tab, in a process of
# its own: one curve across the part, a second one through its middle node
# (a joint), then a node dragged; "Create in Dezaz" hands the network's
# curves to the document.
cat >"$out/curve_network.script" <<SCRIPT
_Import "$sample"
_SelAll
> MessageBox Yes For the best results
_vtlShapes
_DialogButton "$T" 3059
_DialogCombo "$T" 3022 Curves (Advanced)
_DialogViewClick "$T" 0.30,0.45
_DialogViewClick "$T" 0.50,0.47
_DialogViewClick "$T" 0.70,0.45
_DialogViewCommand "$T" 32815
_DialogViewClick "$T" 0.50,0.38
_DialogViewClick "$T" 0.50,0.47
_DialogViewClick "$T" 0.52,0.65
_DialogViewCommand "$T" 32815
_DialogViewCommand "$T" 32825
_DialogViewClick "$T" 0.70,0.45 0.72,0.50 0.74,0.55
_Screenshot "$shots/13 curve network"
_DialogButton "$T" 3
_List
SCRIPT
echo "run.sh: a curve network drawn through the Curves tab (a third host process)"
rm -rf "$out/curve_network_registry"
DEZAZ_REGISTRY=$out/curve_network_registry "${host[@]}" --script "$out/curve_network.script" >"$out/curve_network.txt"
grep -v '^surface ' "$out/curve_network.txt"
network_curves=$(grep -c '^  [0-9]* curve,' "$out/curve_network.txt" || true)
echo "run.sh: the network's curves in the document: $network_curves (two drawn)"
(( network_curves == 2 )) || { echo "run.sh: the curve network did not reach the document" >&2; exit 1; }

# The primitive panel of the "Primitives" dock bar, in a process of its
# own, as a user fits the boss there: segmentation at a sensitivity of 55,
# where the boss's wall comes out as regions of its own, splits the scan;
# the meshes under clicks on the wall (at mid-height, at three sides) are
# selected, and the panel fits a cylinder through their vertices, shown
# docked with its white preview, then created on the layer "vtl Surfaces"
# with its axis line.
cat >"$out/primitive_panel.script" <<SCRIPT
_Import "$sample"
_SelNone
> Object first
> Slider 3073 55
> Dialog 3071
_vtlSegmentation
_SelMeshAt 32,30,27.5 20,42,27.5 8,30,27.5
_DockBarButton Primitives 3003
_Screenshot "$out/screenshots/primitives"
_DockBarButton Primitives 1
_List
_SurfacePoints
SCRIPT
echo "run.sh: the primitive panel's cylinder through the boss's regions (a fourth host process)"
"${host[@]}" --script "$out/primitive_panel.script" >"$out/primitive_panel.txt"
grep -v '^surface ' "$out/primitive_panel.txt"
python3 "$root/scripts/check_sample_shapes.py" "$out/primitive_panel.txt" "$out/machined_part.txt" cylinder

cat >"$out/main_job.script" <<SCRIPT
# The sample scan into a host mesh
_Import "$sample"
_SelAll
# The shapes dialog on the selected mesh, which goes to a layer of its own
> MessageBox Yes For the best results
_vtlShapes
_SelNone
# The analysis tools; a batch script may not run them
_vtlAnalyzer
-_vtlAnalyzer
# A closed curve beside the part, extruded 5 up with a 5 degree draft
_Polyline 150,0,0 190,0,0 190,30,0 150,30,0 150,0,0
> Object last
> Object nothing
_vtlTestTapered
_List
# A wall, and a sheet across it: the trim keeps the part of the sheet clicked
_PlaneSurface 170,50,-10 170,110,-10 170,50,10
_PlaneSurface 150,60,0 200,60,0 150,100,0
> Object last at 185,80,0
_vtlTrim
_List
# The fillet tool on the boss of the part (radius 12 about x = 20, y = 30):
# a sheet standing against the boss gives the edge, the scan (the first
# object) is the reference mesh, and the annotation gives the radius
_PlaneSurface 32,30,22 32,30,33 40,30,22
> Object last at 32,30,27.5
_vtlMeasureFillet
> Object first
_DialogButton "Measure Fillet" 3078
_DialogButton "Measure Fillet" 3084
_DialogButton "Measure Fillet" 2
_List
# Segmentation of the scan: the sensitivity slider let go at 35, where
# the flat faces come out whole and the edges with the faces curved more
# sharply than that stay in the sharp band (the slider's release detects;
# the dialog's picture is taken then), then Split into one mesh per region
> Object first
> Slider 3073 35
> Screenshot "$out/screenshots"
> Dialog 3071
_vtlSegmentation
_List
# Help, about and the two commands kept as names
_vtlOnlineHelp
> MessageBox OK For more information visit:
_vtlAbout
_vtlExtractSubmesh
_vtlSymmetry
_Save "$out/machined_part.dzz"
_Open "$out/machined_part.dzz"
_List
_Save "$out/machined_part_reopened.dzz"
_Screenshot "$out/screenshots"
SCRIPT

echo "run.sh: the other commands of the plug-in"
"${host[@]}" --script "$out/main_job.script" | tee "$out/command_line.txt"

# What each of the plug-in's commands did: the lines it printed, up to the
# next command.
echo "run.sh: what each command of the plug-in did:"
# (A text printed without a line end runs into the next command's line.)
sed 's/\(.\)Command: /\1\nCommand: /' "$out/command_line.txt" | awk '
  function close_command() { if (cmd != "" && lines == 0) print "      (printed nothing)" }
  /^Command: / {
    if ($2 ~ /^-?_vtl/) { close_command(); cmd = $2; lines = 0; printf "  %s\n", cmd }
    else if ($2 != "_List") { close_command(); cmd = "" }
    next
  }
  cmd != "" { printf "      %s\n", $0; lines++ }
  END { close_command() }
'
grep '^The shell was asked' "$out/command_line.txt" | sed 's/^/  /' || true
# The fillet measured on the boss, beside its true radius.
grep -o 'text dot "R: [0-9.]*"' "$out/command_line.txt" | head -n1 |
  sed 's/text dot "R: \(.*\)"/run.sh: fillet tool on the boss: R = \1 mm beside the true radius 12 mm (machined_part.txt)/'

# The regions segmentation found, beside the sample's faces.
python3 "$root/scripts/check_segmentation.py" "$out/command_line.txt"

# Saving what was opened must give the same document.
cmp "$out/machined_part.dzz" "$out/machined_part_reopened.dzz"
echo "run.sh: the reopened document saved unchanged"
echo "run.sh: output in $out"
