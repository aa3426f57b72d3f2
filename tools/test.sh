#!/usr/bin/env bash
# Sets up, builds and runs every ClipHarbor test: native unit tests (with sanitizers), a short
# fuzzing run, the Windows tests under Wine (own prefix, own Xvfb) and the end-to-end scenario.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

step() { printf '\n== %s\n' "$*"; }
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

step "Packages"
as_root bash tools/bootstrap.sh || exit 1

mkdir -p build
jobs=$(nproc 2>/dev/null || echo 2)
failed=()

step "Native build"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >build/native.log 2>&1 || { cat build/native.log; exit 1; }
cmake --build build/native -j"$jobs" >>build/native.log 2>&1 || { tail -50 build/native.log; exit 1; }

step "Native unit tests"
(cd build/native && ctest --output-on-failure -j"$jobs") || failed+=(native)

if [ -x tools/fuzz-smoke.sh ]; then
  step "Fuzzing (short run)"
  if tools/fuzz-smoke.sh >build/fuzz.log 2>&1; then
    grep -E '^Done [0-9]+ runs' build/fuzz.log || echo "fuzzing: no crash"
  else
    tail -40 build/fuzz.log
    failed+=(fuzz)
  fi
fi

step "Windows builds (64-bit for Wine here, 32-bit product)"
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >build/win64.log 2>&1 \
  || { cat build/win64.log; exit 1; }
cmake --build build/win64 -j"$jobs" >>build/win64.log 2>&1 || { tail -50 build/win64.log; exit 1; }
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
  -DCLIPHARBOR_TESTS=OFF >build/win32.log 2>&1 || { cat build/win32.log; exit 1; }
cmake --build build/win32 -j"$jobs" >>build/win32.log 2>&1 || { tail -50 build/win32.log; exit 1; }

step "Wine prefix and display"
. tools/wine-env.sh
wine_prefix_ready
map_test_drives
xvfb_start || exit 1
wineserver_start
trap 'wineserver_stop; xvfb_stop' EXIT

step "Windows tests under Wine"
(cd build/win64 && ctest --output-on-failure) || failed+=(wine)

if [ -x tests/e2e/run.sh ]; then
  step "End-to-end: the real ClipHarbor.exe"
  tests/e2e/run.sh build/win64/ClipHarbor.exe || failed+=(e2e)
fi

step "Summary"
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All test groups passed."
