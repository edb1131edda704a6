#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test; then runs the whole suite once more in the optimised
# (Release) build without sanitizers, which is what ships; then builds the
# concurrency tests with ThreadSanitizer and runs them. Exits non-zero on any
# failure.
#
#   scripts/test.sh            # full run
#   BUILD_DIR=... RELEASE_BUILD_DIR=... TSAN_BUILD_DIR=... scripts/test.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

build=${BUILD_DIR:-$root/build}
jobs=${JOBS:-$(nproc)}

# intercept_tls_get_addr=0: the sanitizer runtime of g++ 12 guesses the size of
# a dynamic TLS block from the 16 bytes before it whenever the block starts 16
# bytes into a page; glibc takes such blocks from malloc, so in about one
# process in 256 that loads Mesa the guess reads a heap chunk header and
# LeakSanitizer later scans a wild range and dies ("Tracer caught signal 11").
# Without the interception those blocks are still scanned as allocations of
# the dynamic linker.
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:intercept_tls_get_addr=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
# Headless OpenGL: Mesa's software rasteriser on the surfaceless EGL platform.
export EGL_PLATFORM=surfaceless
export LIBGL_ALWAYS_SOFTWARE=1
export GALLIUM_DRIVER=llvmpipe
# The rasteriser draws in the calling thread: the GL tests stay light when
# CTest runs them side by side, and LeakSanitizer has fewer threads to stop.
export LP_NUM_THREADS=0
# ccache keeps the test binaries' precompiled headers (a no-op without ccache).
export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}
# Tests write their settings and files under a temporary directory.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export DEZAZ_REGISTRY="$scratch/registry"
export XDG_CONFIG_HOME="$scratch/config"
export TMPDIR="$scratch"

# Line tables only (-g1): reports still name file and line, while objects are
# half the size and compile 10-20% faster than with full debug information.
san_flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O2 -g1" -DCMAKE_C_FLAGS_DEBUG="-O2 -g1" \
  -DCMAKE_CXX_FLAGS="$san_flags" -DCMAKE_C_FLAGS="$san_flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$san_flags" -DCMAKE_SHARED_LINKER_FLAGS="$san_flags" \
  -DVTL_WERROR=ON -DVTL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"
# A failed test runs once more: LeakSanitizer's stop-the-world can fail on a
# heavily loaded machine, while a real fault fails twice.
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 600 --repeat until-pass:2

# The optimised build shares its directory and configuration with
# scripts/bench.sh, so neither rebuilds what the other built. Only the test
# binaries are built here; the benchmarks build when they are run. Warnings
# are errors in the sanitizer build above; here they are only shown, since
# g++ 12 warns of paths the optimiser merely imagines at -O3.
release_build=${RELEASE_BUILD_DIR:-$root/build-bench}
cmake -S "$root" -B "$release_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVTL_WERROR=OFF -DVTL_BUILD_BENCH=ON >/dev/null
cmake --build "$release_build" -j "$jobs" --target vtl_tests
ctest --test-dir "$release_build" --output-on-failure -j "$jobs" --timeout 600 --repeat until-pass:2

tsan_build=${TSAN_BUILD_DIR:-$root/build-tsan}
tsan_flags="-fsanitize=thread -fno-omit-frame-pointer"
cmake -S "$root" -B "$tsan_build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O2 -g1" -DCMAKE_C_FLAGS_DEBUG="-O2 -g1" \
  -DCMAKE_CXX_FLAGS="$tsan_flags" -DCMAKE_C_FLAGS="$tsan_flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$tsan_flags" -DCMAKE_SHARED_LINKER_FLAGS="$tsan_flags" \
  -DVTL_WERROR=ON -DVTL_TSAN=ON >/dev/null
cmake --build "$tsan_build" -j "$jobs"
if [[ -n $(ctest --test-dir "$tsan_build" -N | grep -E 'Total Tests: [1-9]') ]]; then
  ctest --test-dir "$tsan_build" --output-on-failure -j "$jobs" --timeout 600
fi
echo "test.sh: all tests passed"
