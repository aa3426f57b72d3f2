#!/usr/bin/env bash
# Repair benchmark: a 2 GB PAL DV recording (DV25 with 48 kHz stereo PCM, as the device records)
# cut off at 1.9 GB with no movie header, repaired by cliprepair (Release, no sanitizers) against
# copying the same file on the same file system (cp: what writing a new file of that size costs
# here) and reading it (cat to /dev/null), with hyperfine, in one run:
#   hot    the file in the page cache;
#   cold   the caches dropped before each run (sync; echo 3 > /proc/sys/vm/drop_caches: root only,
#          else the cold runs are left out and the output says so).
# Throughput is given as a fraction of cp's (cp's median time over cliprepair's), hot and cold.
#
# Each byte read from the disk once: after the caches are dropped, cliprepair runs once under
# /usr/bin/time, whose "file system inputs" (%I) is the process's ru_inblock: the bytes its
# threads made the kernel read from the block device (/proc/PID/io read_bytes, in 512-byte units),
# read-ahead included, page-cache hits not counted. Reading a byte twice from the cache costs
# nothing there; reading it twice from the disk shows as twice the file's size. The same count for
# `cliprepair --help`, cold too, is the program's own start (its executable and libraries), taken
# off.
#
# Peak memory: the process's VmHWM (resident, the shared libraries' mapped pages included: GNU
# time's maximum resident size) and its peak RssAnon (its own memory, without them), polled from
# /proc/PID/status every 5 ms while it repairs the file. Where Wine and the win64 build are there
# (build/win64, see tools/test.sh), the same for cliprepair.exe under 64-bit Wine: the process Wine
# runs the exe in (the loader becomes it), with the prefix's wineserver already running apart.
#
# The recording is a short ffmpeg clip's media repeated by a small generator, with a template made
# the same way. Needs ffmpeg, hyperfine, python3, /usr/bin/time and about 6 GB free under FOLDER.
# Other processes on the machine skew the times: the figures are ratios measured in one run. Not
# part of the test command.
# Usage: bench/repair/run.sh [FOLDER] [RUNS]   (default build/bench/repair, 5 hot and 3 cold runs)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
folder=${1:-$root/build/bench/repair}
runs=${2:-5}
coldRuns=$(( runs > 3 ? 3 : runs ))
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
template=$folder/template.mov
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
hot=$(mktemp) cold=$(mktemp) memory=$(mktemp)
trap 'rm -f "$hot" "$cold" "$memory" "$out" "$copy"' EXIT
commands=(-n cliprepair "'$cliprepair' '$damaged' --like '$template' -o '$out'" -n cp "cp '$damaged' '$copy'"
          -n cat "cat '$damaged'")
# Each run writes a new file: the last one's is removed and its writeback finished before,
# outside the timing.
settle="rm -f '$out' '$copy'; sync; sleep 1"
cat "$damaged" >/dev/null
hyperfine --style basic --export-json "$hot" --warmup 1 --runs "$runs" --prepare "$settle" "${commands[@]}" >&2
canDrop=0
if [ "$(id -u)" = 0 ] && [ -w /proc/sys/vm/drop_caches ]; then canDrop=1; fi
inputs=0 startInputs=0
if [ $canDrop = 1 ]; then
  hyperfine --style basic --export-json "$cold" --runs "$coldRuns" \
    --prepare "$settle; echo 3 > /proc/sys/vm/drop_caches" "${commands[@]}" >&2
  rm -f "$out"; sync; echo 3 > /proc/sys/vm/drop_caches
  startInputs=$( { /usr/bin/time -f '%I' "$cliprepair" --help >/dev/null; } 2>&1 | tail -n1)
  rm -f "$out"; sync; echo 3 > /proc/sys/vm/drop_caches
  inputs=$( { /usr/bin/time -f '%I' "$cliprepair" "$damaged" --like "$template" -o "$out" >/dev/null; } 2>&1 | tail -n1)
else
  echo '{"results": []}' >"$cold"
fi

# Peak memory of a process: its VmHWM (GNU time's maximum resident size, the kernel's count at its
# end) and the largest RssAnon seen while polling it, in KiB; then its exit status.
peak() {
  python3 - "$@" <<'PY'
import os, subprocess, sys, tempfile, time
with tempfile.NamedTemporaryFile("r") as hwm:
    p = subprocess.Popen(["/usr/bin/time", "-f", "%M %x", "-o", hwm.name] + sys.argv[1:], stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    anon = 0
    while p.poll() is None:
        try:
            for child in open(f"/proc/{p.pid}/task/{p.pid}/children").read().split():
                for line in open(f"/proc/{child}/status"):
                    key, _, value = line.partition(":")
                    if key == "RssAnon":
                        anon = max(anon, int(value.split()[0]))
        except (OSError, ValueError):
            pass
        time.sleep(0.005)
    most, status = hwm.read().split()[-2:]
print(most, anon, status)
PY
}
rm -f "$out"
echo "native $(peak "$cliprepair" "$damaged" --like "$template" -o "$out")" >"$memory"
echo "native-help $(peak "$cliprepair" --help)" >>"$memory"
rm -f "$out"
exe=$root/build/win64/movie/repair/cliprepair.exe
wine=""
if [ -f "$exe" ] && [ -x /usr/lib/wine/wine64 ]; then
  wine=$(
    . "$root/tools/wine-env.sh" win64
    wine_prefix_ready >/dev/null 2>&1 || exit 0
    "$WINESERVER" -p >/dev/null 2>&1 || true
    winPath() { echo "Z:${1//\//\\}"; }
    # The first start of a prefix sets it up: not measured.
    "$WINE" "$exe" --help </dev/null >/dev/null 2>&1 || true
    peak "$WINE" "$exe" "$(winPath "$damaged")" --like "$(winPath "$template")" -o "$(winPath "$out")" || true
    "$WINESERVER" -k >/dev/null 2>&1 || true
  )
  rm -f "$out"
fi
echo "wine ${wine:-- - -}" >>"$memory"

python3 - "$hot" "$cold" "$(stat -c %s "$damaged")" "$inputs" "$startInputs" "$memory" <<'PY'
import json, sys
size, inputs, start = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
print(f"damaged file: {size / 2**30:.2f} GiB ({size} bytes)")
for label, path in (("hot", sys.argv[1]), ("cold (caches dropped before each run)", sys.argv[2])):
    results = {r["command"]: r for r in json.load(open(path))["results"]}
    if not results:
        print(f"{label}: not measured (dropping the caches needs root)")
        continue
    print(f"{label}:")
    for name in ("cliprepair", "cp", "cat"):
        t = results[name]["median"]
        print(f"  {name:10s} {t:6.3f} s median, {size / t / 2**20:7.0f} MiB/s")
    ours, cp, cat = (results[n]["median"] for n in ("cliprepair", "cp", "cat"))
    print(f"  cliprepair's throughput: {cp / ours:.2f}x cp's (goal 0.9x), {cat / ours:.2f}x cat's")
    # Where the machine's cores are busy with other work, the walk and the copy share one and the
    # time is their sum: the processor time says how much work each does.
    cpu = {n: results[n]["user"] + results[n]["system"] for n in ("cliprepair", "cp", "cat")}
    print(f"  processor time (user + system, mean): cliprepair {cpu['cliprepair']:.3f} s, cp {cpu['cp']:.3f} s,"
          f" cat {cpu['cat']:.3f} s")
    if label != "hot" and size / cat > 1e9:
        print(f"  (the disk reads {size / cat / 2**20:.0f} MiB/s here, likely the host's cache: the cold figures show the cost"
              " of uncached pages more than a device's speed)")
if inputs:
    read = (inputs - start) * 512
    print(f"read from the disk, caches dropped: {inputs * 512} bytes, {start * 512} of them the program's own start;"
          f" the rest {read} = {read / size:.3f}x the file's size (goal: once)")
names = {"native": "native, repairing", "native-help": "native, --help", "wine": "cliprepair.exe under 64-bit Wine"}
for line in open(sys.argv[6]):
    kind, hwm, anon, rc = line.split()
    if hwm == "-":
        print(f"peak memory, {names[kind]}: not measured (needs wine64 and the win64 build in build/win64)")
        continue
    own = f", {int(anon) / 1024:.1f} MiB of its own (RssAnon)" if kind != "native-help" else ""
    print(f"peak memory, {names[kind]}: {int(hwm) / 1024:.1f} MiB resident (VmHWM, shared libraries included)"
          f"{own}{'' if rc == '0' else f'; exit status {rc}'}")
print("goal: under 64 MiB for the Windows exe under Wine")
PY
