#!/usr/bin/env bash
# The main job: the stand-in Dezaz host runs the plug-in on the bundled
# sample scan. It imports the sample, goes as far along the main road as the
# plug-in allows (select the mesh, open the shapes dialog), runs every other
# command of the plug-in once (the tools, a tapered extrusion of a drawn
# curve, a quick trim of a drawn sheet, help and about), saves the document,
# reopens it and saves it again, and writes screenshots of every window.
# What each command did is listed at the end. Everything lands in one
# output folder, named at the end.
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
rm -rf "$out/screenshots" "$out"/*.dzz
sample=$build/resources/samples/machined_part.stl
cp "$sample" "$build/resources/samples/machined_part.txt" "$out/"

# Headless: Mesa's software rasteriser on the surfaceless EGL platform; the
# plug-in's settings go to a registry of this run.
export EGL_PLATFORM=surfaceless LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe
export DEZAZ_REGISTRY=${DEZAZ_REGISTRY:-$out/registry}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp:print_suppressions=0}
# In a sanitizer build, leave dynamic TLS to the allocator (see scripts/test.sh).
export ASAN_OPTIONS=${ASAN_OPTIONS:-intercept_tls_get_addr=0}

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
# Segmentation of the scan
> Object first
_vtlSegmentation
_vtlMeasureFillet
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
# Help, about and the two commands kept as names
_vtlOnlineHelp
> MessageBox OK For more information visit:
_vtlAbout
_vtlExtractSubmesh
_vtlSymmetry
_Save "$out/machined_part.dzz"
_Open "$out/machined_part.dzz"
_Save "$out/machined_part_reopened.dzz"
_Screenshot "$out/screenshots"
SCRIPT

"$build/dezaz" --plugin "$build/vtl_for_dezaz.so" --script "$out/main_job.script" --headless | tee "$out/command_line.txt"

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

# Saving what was opened must give the same document.
cmp "$out/machined_part.dzz" "$out/machined_part_reopened.dzz"
echo "run.sh: the reopened document saved unchanged"
echo "run.sh: output in $out"
