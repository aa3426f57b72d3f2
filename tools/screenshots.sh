#!/usr/bin/env bash
# Screenshots of the main window on the demo device in each language, for looking at by eye:
# build/screens/<language>.png. Run tools/demo.sh once first (it builds and sets up the device).
# Usage: tools/screenshots.sh [LANGUAGE...]   (default: all six)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
export CLIPHARBOR_PREFIX_BASE=$root/build/demo/wineprefix
arch=win64
[ -f build/demo/wineprefix32/.clipharbor-ready ] && arch=win32
. tools/wine-env.sh "$arch"
exe=$(wine_build_dir)/ClipHarbor.exe
[ -x "$exe" ] || { echo "run tools/demo.sh first" >&2; exit 1; }
map_drive t "$root/build/demo/device"
mkdir -p build/screens
xvfb_start
trap 'wineserver_stop; xvfb_stop' EXIT
for lang in ${@:-en_US de_DE fr_FR es_ES ja_JP ru_RU}; do
  LC_ALL=$lang.UTF-8 LANG=$lang.UTF-8 "$WINE" "$exe" Zelkor_TWDV_LST 'T:\Movie\Media\' &
  app=$!
  for _ in $(seq 1 100); do xdotool search --onlyvisible --name 'ClipHarbor' >/dev/null 2>&1 && break; sleep 0.2; done
  sleep 2
  import -window root "build/screens/$lang.png"
  kill $app 2>/dev/null; wait $app 2>/dev/null || true
  wineserver_stop
  echo "build/screens/$lang.png"
done
