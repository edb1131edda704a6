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
for b in "$build"/bench/*_bench; do
  [[ -x $b ]] || continue
  if [[ $# -gt 0 && $b != *"$1"* ]]; then continue; fi
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
