#!/usr/bin/env bash
# Probe benchmark: how fast clipinfo reads the time scale and duration of a folder of clips,
# against ffprobe on each of the same files, hot cache, in one run. Also reports the bytes read
# per probe against the moov size plus top-level headers, and clipinfo's peak resident memory.
# Needs ffmpeg (ffprobe) and hyperfine from Debian. Not part of the test command.
# Usage: bench/probe/run.sh [CLIPS]   (default 2000)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
clips=${1:-2000}
build=$root/build/bench-release
folder=$root/build/bench/probe-clips
for tool in ffprobe hyperfine /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "probe bench: needs $tool (apt-get install -y ffmpeg hyperfine time)" >&2; exit 1; }
done

# An optimised clipinfo without sanitizers: the product's build, not the test build.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCLIPHARBOR_SANITIZE=OFF -DCLIPHARBOR_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target clipinfo >/dev/null
clipinfo=$build/movie/container/clipinfo

# The folder: hard links to the corpus clips, round robin.
rm -rf "$folder"
mkdir -p "$folder"
mapfile -t sources < <(ls "$root"/tests/data/corpus/*.mov "$root"/tests/data/corpus/*.mp4 "$root"/tests/data/corpus/*.m4a | sort)
for ((i = 0; i < clips; i++)); do
  src=${sources[$((i % ${#sources[@]}))]}
  ln "$src" "$folder/$(printf 'clip_%05d' "$i").${src##*.}"
done

ffprobe_all="for f in $folder/*; do ffprobe -v error -show_entries format=duration -of csv=p=0 \"\$f\"; done"
ours_json=$(mktemp)
theirs_json=$(mktemp)
trap 'rm -f "$ours_json" "$theirs_json"' EXIT
# clipinfo's warm-up runs bring the files (hard links to a few inodes) into the page cache for
# both; ffprobe runs once, as 2,000 process starts already average out.
hyperfine --style basic --export-json "$ours_json" --warmup 2 --runs 10 -n clipinfo "$clipinfo $folder" >&2
hyperfine --style basic --export-json "$theirs_json" --runs 1 -n ffprobe "$ffprobe_all" >&2
mean() { python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["results"][0]["mean"])' "$1"; }
ours=$(mean "$ours_json")
theirs=$(mean "$theirs_json")
stats=$("$clipinfo" --stats "$folder" 2>&1 >/dev/null | tail -n1)
rss=$( { /usr/bin/time -f '%M' "$clipinfo" "$folder" >/dev/null; } 2>&1 | tail -n1)
python3 - "$clips" "$ours" "$theirs" <<PY
import sys
n, ours, theirs = int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3])
print(f"clips: {n}")
print(f"clipinfo: {n / ours:,.0f} clips/s ({ours * 1000:.1f} ms for the folder)")
print(f"ffprobe:  {n / theirs:,.0f} clips/s ({theirs * 1000:.0f} ms for the folder)")
print(f"ratio:    {theirs / ours:,.0f}x ffprobe's clips per second (target: 50x)")
PY
echo "bytes:    ${stats#clipinfo: }"
echo "clipinfo peak resident memory: ${rss} KiB"
