#!/usr/bin/env bash
# Sets up, builds and opens ClipHarbor under Wine on a demo device: drive T: mapped to a folder
# with \Movie\Media\ made from samples/. Without a display it runs on a virtual one, saves a
# screenshot and says where.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

as_root bash tools/bootstrap.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win64 -j"$jobs" --target ClipHarbor >/dev/null

# The demo has a prefix of its own, so its drive T: never shows up in a test run's drive scan.
export WINEPREFIX=$root/build/demo/wineprefix
. tools/wine-env.sh
wine_prefix_ready
device=$root/build/demo/device
rm -rf "$device"
mkdir -p "$device/Movie/Media"
cp samples/* "$device/Movie/Media/" 2>/dev/null || true
map_drive t "$device"
exe=$root/build/win64/ClipHarbor.exe

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
