#!/usr/bin/env bash
# Playback benchmark under Wine (not part of the tests): a 10-second DV PAL clip with PCM sound,
# made once with Debian's ffmpeg, played by the main window's preview on test drive K:. Runs the
# build that runs here: the 32-bit product where the machine runs 32-bit Wine, else the 64-bit
# build. Usage: bench/playback/run.sh [generated|default]   (default: the stand-in decoders)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
decoders=${1:-generated}
command -v ffmpeg >/dev/null || { echo "playback bench: needs ffmpeg (apt-get install -y ffmpeg)" >&2; exit 1; }
clip=$root/build/bench/playback-dv-pal-10s.mov
if [ ! -f "$clip" ]; then
  mkdir -p "$(dirname "$clip")"
  ffmpeg -loglevel error -y -f lavfi -i testsrc=size=720x576:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 \
    -t 10 -c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16le -ac 2 "$clip"
fi
. tools/wine-env.sh win64
arch=win64
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null 2>&1
cmake --build build/win32 -j2 --target clipinfo >/dev/null
probe=$(echo "Z:$root/tests/data/corpus/mjpeg_pcm_600.mov" | tr / '\\')
wine32_runs "$root/build/win32/movie/container/clipinfo.exe" "$probe" && arch=win32
. tools/wine-env.sh "$arch"
cmake -S . -B "$(wine_build_dir)" -DCMAKE_TOOLCHAIN_FILE="$(wine_toolchain)" -DCMAKE_BUILD_TYPE=Release >/dev/null 2>&1
cmake --build "$(wine_build_dir)" -j2 --target playback_bench >/dev/null
wine_prefix_ready
map_test_drives
xvfb_start
wineserver_start
trap 'wineserver_stop; xvfb_stop' EXIT
echo "== $arch build"
"$WINE" "$(wine_build_dir)/bench/playback/playback_bench.exe" "$(echo "Z:$clip" | tr / '\\')" K "$decoders"
