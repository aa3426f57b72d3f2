#!/usr/bin/env bash
# Per-frame decode + colour conversion + scaling of a DV PAL clip to the preview size (358x266),
# natively and under Wine (the 64-bit Windows build), against `ffmpeg -i CLIP -f null -` on the
# same clip in the same run. Not part of the tests. Needs ffmpeg and hyperfine.
# Usage: bench/decode/run.sh [FRAMES]   (default 250: ten seconds of DV PAL, made once in build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
frames=${1:-250}
work=$root/build/bench-decode
mkdir -p "$work"
clip=$work/dv_pal_$frames.mov
if [ ! -f "$clip" ]; then
  seconds=$(awk -v f="$frames" 'BEGIN { printf "%.2f", f / 25 }')
  ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=720x576:rate=25:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" -c:v dvvideo -pix_fmt yuv420p \
    -c:a pcm_s16be -ac 2 "$clip"
fi

cmake -S "$root" -B "$root/build/bench" -DCMAKE_BUILD_TYPE=Release -DCLIPHARBOR_SANITIZE=OFF >"$work/build.log"
cmake --build "$root/build/bench" --target decode_bench -j2 >>"$work/build.log"
[ -f "$root/build/win64/CMakeCache.txt" ] || cmake -S "$root" -B "$root/build/win64" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >>"$work/build.log"
cmake --build "$root/build/win64" --target decode_bench -j2 >>"$work/build.log"
native=$root/build/bench/bench/decode/decode_bench
windows=$root/build/win64/bench/decode/decode_bench.exe

. "$root/tools/wine-env.sh"
wine_prefix_ready
wineserver_start
trap wineserver_stop EXIT
wclip=$(echo "Z:$clip" | tr / '\\')

echo "== In-process time a frame (median of 5 passes; ffmpeg: its -benchmark real time / frames)"
ours=$("$native" "$clip" 358 266 5 | awk '/^median/ { print $2 }')
wine=$("$WINE" "$windows" "$wclip" 358 266 5 </dev/null 2>/dev/null | tr -d '\r' | awk '/^median/ { print $2 }')
theirs=$(for _ in 1 2 3 4 5; do ffmpeg -nostdin -benchmark -i "$clip" -f null - 2>&1 \
  | sed -n 's/.*rtime=\([0-9.]*\)s.*/\1/p'; done | sort -n | sed -n 3p)
awk -v o="$ours" -v w="$wine" -v t="$theirs" -v f="$frames" 'BEGIN {
  ff = t * 1000 / f
  printf "ffmpeg decode only:                 %.3f ms\n", ff
  printf "ours, native, decode+convert+scale: %.3f ms  (%.2f x ffmpeg)\n", o, o / ff
  printf "ours, Wine,   decode+convert+scale: %.3f ms  (%.2f x ffmpeg)\n", w, w / ff
}'

echo "== Whole process over $frames frames (hyperfine, start-up included)"
hyperfine -N --warmup 1 --runs 5 --export-json "$work/hyperfine.json" \
  "ffmpeg -nostdin -loglevel error -i $clip -f null -" \
  "$native $clip 358 266 1" \
  "$WINE $windows $clip 358 266 1" >"$work/hyperfine.txt"
python3 - "$work/hyperfine.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
base = r[0]["median"]
for name, x in zip(["ffmpeg -f null", "ours native", "ours under Wine"], r):
    print(f"{name:16} median {x['median'] * 1000:8.1f} ms  ({x['median'] / base:.2f} x ffmpeg)")
PY
