#!/usr/bin/env bash
# Builds the benchmarks in an optimised build without sanitizers and runs them.
#   scripts/bench.sh [benchmark name filter]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
# Same directory and configuration as the optimised test run of scripts/test.sh.
build=${BUILD_DIR:-$root/build-bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVTL_WERROR=OFF -DVTL_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
# Benchmarks that open the shapes dialog start its update check: point the
# maker's site at a loopback port where nothing listens, and keep settings
# and GL as the tests have them.
export VTL_WEB_SITE=${VTL_WEB_SITE:-http://127.0.0.1:9/}
export EGL_PLATFORM=${EGL_PLATFORM:-surfaceless}
for b in "$build"/bench/*_bench; do
  [[ -x $b ]] || continue
  if [[ $# -gt 0 && $b != *"$1"* ]]; then continue; fi
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
