#!/usr/bin/env bash
# Repair benchmark: a 2 GB PAL DV recording (DV25 with 48 kHz stereo PCM, as the device records)
# cut off at 1.9 GB with no movie header, repaired by cliprepair (Release, no sanitizers) against
# reading the file once (cat to /dev/null) and against copying it (cp: what writing any new file of
# that size costs here), hot cache, in one run; then cliprepair's peak resident memory.
# The recording is a short ffmpeg clip's media repeated by a small generator, with a template made
# the same way. Needs ffmpeg, hyperfine, python3 and about 4 GB free under FOLDER. Not part of the
# test command.
# Usage: bench/repair/run.sh [FOLDER] [RUNS]   (default build/bench/repair, 5)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
folder=${1:-$root/build/bench/repair}
runs=${2:-5}
build=$root/build/bench-release
for tool in ffmpeg hyperfine python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "repair bench: needs $tool (apt-get install -y ffmpeg hyperfine python3 time)" >&2; exit 1; }
done

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCLIPHARBOR_SANITIZE=OFF -DCLIPHARBOR_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target cliprepair >/dev/null
cliprepair=$build/movie/repair/cliprepair

mkdir -p "$folder"
cd "$folder"
damaged=$folder/Recording.mov
if [ ! -f "$damaged" ]; then
  for clip in source:testsrc:440:4 template:testsrc2:330:1; do
    IFS=: read -r name pattern tone seconds <<<"$clip"
    ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "$pattern=size=720x576:rate=25:duration=$seconds" \
      -f lavfi -i "sine=frequency=$tone:sample_rate=48000:duration=$seconds" -fflags +bitexact -flags:v +bitexact \
      -flags:a +bitexact -map_metadata -1 -c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16be -ac 2 "$name.mov"
  done
  # The source's media repeated to 2 GB, cut off at 1.9 GB: 'ftyp', 'wide', an 'mdat' of size 0.
  python3 - "$folder/source.mov" "$damaged.part" <<'PY'
import struct, sys
d = open(sys.argv[1], "rb").read()
pos = 0
while True:
    size, kind = struct.unpack(">I4s", d[pos:pos + 8])
    if kind == b"mdat":
        break
    pos += size
media = d[pos + 8:pos + size]
whole, cut = 2 * 2**30, int(1.9 * 2**30)
with open(sys.argv[2], "wb") as out:
    out.write(d[:pos] + struct.pack(">I4s", 0, b"mdat"))
    written = pos + 8
    while written + len(media) <= cut:
        out.write(media)
        written += len(media)
    out.write(media[:cut - written])
PY
  mv "$damaged.part" "$damaged"
fi

out=$folder/Recording-repaired.mov
copy=$folder/copy.mov
json=$(mktemp)
trap 'rm -f "$json" "$out" "$copy"' EXIT
cat "$damaged" >/dev/null
# Each run writes a new file: the last one's is removed and the disk left to settle (the removal's
# discards, writeback) before, outside the timing.
hyperfine --style basic --export-json "$json" --warmup 1 --runs "$runs" --prepare "rm -f '$out' '$copy'; sync; sleep 1" \
  -n cliprepair "$cliprepair '$damaged' --like '$folder/template.mov'" -n cat "cat '$damaged'" \
  -n cp "cp '$damaged' '$copy'" >&2
rm -f "$out"
rss=$( { /usr/bin/time -f '%M' "$cliprepair" "$damaged" --like "$folder/template.mov" >/dev/null; } 2>&1 | tail -n1)
python3 - "$json" "$(stat -c %s "$damaged")" "$rss" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
size, rss = int(sys.argv[2]), int(sys.argv[3])
ours, cat, cp = (results[n]["median"] for n in ("cliprepair", "cat", "cp"))
print(f"damaged file: {size / 2**30:.2f} GiB")
for name, t in (("cliprepair", ours), ("cat", cat), ("cp", cp)):
    print(f"{name:10s} {t:6.3f} s median, {size / t / 2**20:7.0f} MiB/s")
print(f"throughput: {cat / ours:.2f}x cat's (target 0.5x), {cp / ours:.2f}x cp's")
print(f"  (a new file of that size alone, cp, is {cat / cp:.2f}x cat's here: the bound of any self-contained copy)")
print(f"cliprepair peak resident memory: {rss / 1024:.1f} MiB (target under 64 MiB)")
PY
