#!/usr/bin/env bash
# Sets up, builds and opens ClipHarbor under Wine on a demo device: drive T: mapped to a folder
# with \Movie\Media\ made from samples/. Opens the 32-bit product where this machine runs 32-bit
# Wine, else the 64-bit build. Without a display it runs on a virtual one, saves a screenshot and
# says where.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
build() {  # build NAME TOOLCHAIN: the ClipHarbor target of build/NAME, quietly
  mkdir -p build
  { cmake -S . -B "build/$1" -DCMAKE_TOOLCHAIN_FILE="$2" -DCMAKE_BUILD_TYPE=Release &&
    cmake --build "build/$1" -j"$(nproc 2>/dev/null || echo 2)" --target ClipHarbor clipinfo; } >"build/demo-$1.log" 2>&1 \
    || { tail -40 "build/demo-$1.log"; exit 1; }
}

as_root bash tools/bootstrap.sh
build win32 cmake/mingw-i686.cmake

# The demo has prefixes of its own, so its drive T: never shows up in a test run's drive scan.
export CLIPHARBOR_PREFIX_BASE=$root/build/demo/wineprefix
. tools/wine-env.sh win64
probe_clip=$(echo "Z:$root/samples/Harbour_0001.mov" | tr / '\\')
if wine32_runs "$root/build/win32/movie/container/clipinfo.exe" "$probe_clip"; then
  . tools/wine-env.sh win32
  echo "Opening the 32-bit product under 32-bit Wine."
else
  build win64 cmake/mingw-x86_64.cmake
  . tools/wine-env.sh win64
  echo "This machine runs no 32-bit code: opening the 64-bit build."
fi
wine_prefix_ready
device=$root/build/demo/device
rm -rf "$device"
mkdir -p "$device/Movie/Media"
cp samples/* "$device/Movie/Media/" 2>/dev/null || true
# DV clips as the device records them, made once (too large to commit).
bash tools/make-dv-clips.sh build/demo/dv-clips 10
cp build/demo/dv-clips/*.mov "$device/Movie/Media/"
map_drive t "$device"
exe=$(wine_build_dir)/ClipHarbor.exe

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Opening ClipHarbor on the demo device T: (close its window to end)."
  "$WINE" "$exe" Zelkor_TWDV_LST 'T:\Movie\Media\'
  exit 0
fi

xvfb_start
trap 'wineserver_stop; xvfb_stop' EXIT
"$WINE" "$exe" Zelkor_TWDV_LST 'T:\Movie\Media\' &
app=$!
for _ in $(seq 1 100); do
  xdotool search --name 'ClipHarbor v1.0' >/dev/null 2>&1 && break
  sleep 0.2
done
sleep 2
shot=$root/build/demo/screenshot.png
/usr/bin/convert -version >/dev/null 2>&1 && import -window root "$shot"
kill "$app" 2>/dev/null || true
echo "No display here: ClipHarbor ran on a virtual display. Screenshot: $shot"
