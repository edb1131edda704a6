#!/usr/bin/env bash
# Builds every fuzz target in fuzz/ as a libFuzzer binary with clang
# (AddressSanitizer and UndefinedBehaviorSanitizer) and runs each for a
# bounded time, starting from a copy of its seed corpus. Exits non-zero when
# a target finds a crash, or an input that runs longer than 10 seconds (a hang).
#
#   scripts/fuzz.sh                  # every target, 30 seconds each
#   FUZZ_SECONDS=120 scripts/fuzz.sh mesh_file
#   FUZZ_SEED=1 scripts/fuzz.sh     # the same mutations on every run
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-30}
jobs=${JOBS:-$(nproc)}

flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -fsanitize=fuzzer-no-link"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DVTL_LIBFUZZER=ON -DVTL_BUILD_BENCH=OFF >/dev/null

targets=("$@")
if ((${#targets[@]} == 0)); then
  for src in "$root"/fuzz/*_fuzz.cpp; do
    name=$(basename "$src" _fuzz.cpp)
    targets+=("$name")
  done
fi

binaries=()
for name in "${targets[@]}"; do binaries+=("${name}_fuzz"); done
cmake --build "$build" -j "$jobs" --target "${binaries[@]}"

# Dynamic TLS is left to the allocator (see scripts/test.sh).
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:intercept_tls_get_addr=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export TMPDIR="$scratch"
export DEZAZ_REGISTRY="$scratch/registry"

# One target: fuzz from a copy of its seeds, keep the log, report the verdict.
fuzz_one() {
  local name=$1 corpus="$scratch/corpus-$1" status
  mkdir -p "$corpus" "$scratch/run-$name"
  # Targets that write files or settings keep them apart from the others.
  export TMPDIR="$scratch/run-$name" DEZAZ_REGISTRY="$scratch/run-$name/registry"
  if [[ -d "$root/fuzz/corpus/$name" ]]; then
    cp -r "$root/fuzz/corpus/$name/." "$corpus/"
  fi
  (cd "$scratch/run-$name" && "$build/fuzz/${name}_fuzz" -max_total_time="$seconds" -timeout=10 \
      ${FUZZ_SEED:+-seed="$FUZZ_SEED"} -print_final_stats=1 -artifact_prefix="$scratch/$name-" "$corpus") \
      >"$scratch/$name.log" 2>&1
  status=$?
  {
    echo "fuzz: $name for ${seconds}s"
    tail -n 12 "$scratch/$name.log"
    if ((status != 0)); then
      mkdir -p "$root/fuzz/crashes"
      cp "$scratch/$name-"* "$root/fuzz/crashes/" 2>/dev/null || true
      echo "fuzz: $name failed (inputs kept in fuzz/crashes/)"
    fi
  } >"$scratch/$name.summary"
  cat "$scratch/$name.summary" # one block per target, not interleaved
  return $status
}

# Targets run side by side, one per job, each for the full time.
failed=0
running=0
set +e
for name in "${targets[@]}"; do
  if ((running >= jobs)); then
    wait -n || failed=1
    ((running--))
  fi
  fuzz_one "$name" &
  ((running++))
done
while ((running > 0)); do
  wait -n || failed=1
  ((running--))
done
set -e
if ((failed)); then
  echo "fuzz.sh: a target found a fault"
  exit 1
fi
echo "fuzz.sh: no target found a fault"
