#!/usr/bin/env bash
# Sets up, builds and runs every ClipHarbor test: the bootstrap's coverage check, native unit tests
# (with sanitizers), a short fuzzing run, the Windows tests under Wine (own prefix, own Xvfb) and
# the end-to-end scenario. The Windows tests run the 32-bit product where this machine runs 32-bit
# Wine, else the 64-bit build of the same sources.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

step() { printf '\n== %s\n' "$*"; }
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
# build NAME [cmake options...]: configures and builds build/NAME, the log in build/NAME.log.
build() {
  local name=$1; shift
  { cmake -S . -B "build/$name" "$@" && cmake --build "build/$name" -j"$jobs"; } >"build/$name.log" 2>&1 \
    || { tail -60 "build/$name.log"; echo "build of $name failed (build/$name.log)"; exit 1; }
}

step "Packages"
as_root bash tools/bootstrap.sh || exit 1

mkdir -p build
jobs=$(nproc 2>/dev/null || echo 2)
failed=()

step "Every tool comes from a package the bootstrap installs"
python3 tools/check-bootstrap.py || failed+=(bootstrap-check)

step "Native build"
build native -DCMAKE_BUILD_TYPE=Debug

step "Native unit tests"
(cd build/native && ctest --output-on-failure -j"$jobs") || failed+=(native)

step "Fuzzing (short run)"
if tools/fuzz-smoke.sh >build/fuzz.log 2>&1; then
  grep -E '^Done [0-9]+ runs' build/fuzz.log || echo "fuzzing: no crash"
else
  tail -40 build/fuzz.log
  failed+=(fuzz)
fi

step "Windows builds"
. tools/wine-env.sh win64
# The product, with its tests: always built, so the 32-bit tree is known to compile everywhere.
build win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release -DCLIPHARBOR_TESTS=ON
probe_clip=$(echo "Z:$root/tests/data/corpus/mjpeg_pcm_600.mov" | tr / '\\')
if wine32_runs "$root/build/win32/movie/container/clipinfo.exe" "$probe_clip"; then
  arch=win32
  which_build="Windows tests: 32-bit product under 32-bit Wine"
else
  arch=win64
  bash tools/runs-32bit.sh; [ $? = 1 ] && why="this machine runs no 32-bit code" || why="32-bit Wine is not installed or does not run"
  which_build="Windows tests: 64-bit build; $why"
  build win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DCLIPHARBOR_TESTS=ON
fi
echo "$which_build"

step "Release archive from a clean clone"
bash tools/check-package.sh build/win32 || failed+=(package)

step "Wine prefix and display"
. tools/wine-env.sh "$arch"
wine_prefix_ready || exit 1
map_test_drives
small_drive_mount
xvfb_start || exit 1
wineserver_start
trap 'wineserver_stop; xvfb_stop; small_drive_unmount' EXIT

step "Windows tests under Wine"
(cd "$(wine_build_dir)" && ctest --output-on-failure) || failed+=(wine)

step "End-to-end: the real ClipHarbor.exe"
tests/e2e/run.sh "$(wine_build_dir)/ClipHarbor.exe" || failed+=(e2e)

step "Summary"
echo "$which_build"
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All test groups passed."
