#!/usr/bin/env bash
# Runs the scan-and-list benchmark under Wine on test drive K: (not part of the tests), on the
# build that runs here: the 32-bit product where the machine runs 32-bit Wine, else the 64-bit
# build; `--both` also runs the 64-bit build beside the 32-bit one. Builds scan_bench as needed.
# Usage: bench/wine/run.sh [--both] CLIPS...
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
both=0
[ "${1:-}" = --both ] && { both=1; shift; }
. tools/wine-env.sh win64
bench_on() {  # bench_on ARCH CLIPS...
  local arch=$1; shift
  . tools/wine-env.sh "$arch"
  cmake -S . -B "$(wine_build_dir)" -DCMAKE_TOOLCHAIN_FILE="$(wine_toolchain)" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$(wine_build_dir)" -j2 --target scan_bench >/dev/null
  wine_prefix_ready
  map_test_drives
  wineserver_start
  echo "== $arch build"
  "$WINE" "$(wine_build_dir)/bench/wine/scan_bench.exe" "$clip" K "$@"
  wineserver_stop
}
xvfb_start
trap xvfb_stop EXIT
clip=$(echo "Z:$root/tests/data/corpus/mjpeg_pcm_600.mov" | tr / '\\')
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win32 -j2 --target clipinfo >/dev/null
if wine32_runs "$root/build/win32/movie/container/clipinfo.exe" "$clip"; then
  bench_on win32 "$@"
  [ $both = 1 ] && bench_on win64 "$@"
else
  echo "This machine runs no 32-bit code: the 64-bit build only."
  bench_on win64 "$@"
fi
