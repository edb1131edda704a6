#!/usr/bin/env bash
# The main job: the stand-in Dezaz host runs the plug-in on the bundled
# sample scan. It imports the sample, goes as far along the main road as the
# plug-in allows (select the mesh, open the shapes dialog), saves the
# document, reopens it and saves it again, and writes screenshots of every
# window. Everything lands in one output folder, named at the end.
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
# The shapes dialog on the selected mesh
_vtlShapes
_Save "$out/machined_part.dzz"
_Open "$out/machined_part.dzz"
_Save "$out/machined_part_reopened.dzz"
_Screenshot "$out/screenshots"
SCRIPT

"$build/dezaz" --plugin "$build/vtl_for_dezaz.so" --script "$out/main_job.script" --headless | tee "$out/command_line.txt"

# Saving what was opened must give the same document.
cmp "$out/machined_part.dzz" "$out/machined_part_reopened.dzz"
echo "run.sh: the reopened document saved unchanged"
echo "run.sh: output in $out"
