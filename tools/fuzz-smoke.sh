#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) with clang into build/fuzz and runs a short bounded
# session over the corpus and the corrupt files. Exit status non-zero when the fuzzer finds a
# crash, leak, timeout or memory blow-up (the input is left in build/fuzz/artifacts/).
# Usage: tools/fuzz-smoke.sh [SECONDS]   (default 20, shared by the three targets)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
seconds=${1:-20}

CC=clang CXX=clang++ cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null

# New inputs go to a scratch corpus per target; the seed folders are only read. The decoders'
# target takes whole DV clips (600 kB) as seeds.
run() {
  local target=$1 max_len=$2; shift 2
  mkdir -p "$build/corpus-$target"
  "$build/$target" "$build/corpus-$target" "$@" \
    -max_total_time="$(( (seconds + 2) / 3 ))" -rss_limit_mb=1024 -timeout=10 -max_len="$max_len" \
    -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1
}
# The repair walker's seeds: each corpus clip's media ('mdat' body) behind the byte that picks
# that clip as the template (the target's order).
repair_seeds() {
  local seeds=$build/seeds-repair
  rm -rf "$seeds"; mkdir -p "$seeds"
  python3 - "$root/tests/data/corpus" "$seeds" <<'PY'
import struct, sys
corpus, seeds = sys.argv[1], sys.argv[2]
names = ["dv_pal_pcm.mov", "dv_ntsc_pcm.mov", "mjpeg_pcm_600.mov", "h264_aac_30000.mov", "mpeg4_1000.mov",
         "audio_ima4.mov", "audio_pcm.mov"]
for i, name in enumerate(names):
    d = open(f"{corpus}/{name}", "rb").read()
    pos = 0
    while pos + 8 <= len(d):
        size, kind = struct.unpack(">I4s", d[pos:pos + 8])
        header = 8
        if size == 1:
            size, header = struct.unpack(">Q", d[pos + 8:pos + 16])[0], 16
        if kind == b"mdat":
            open(f"{seeds}/{name}.mdat", "wb").write(bytes([i]) + d[pos + header:pos + size][:200000])
            break
        if size < header:
            break
        pos += size
PY
  echo "$seeds"
}
mkdir -p "$build/artifacts"
run fuzz_movie_reader 262144 "$root/tests/data/corpus" "$root/tests/data/bad"
run fuzz_movie_decoders 1048576 "$root/tests/data/corpus" "$root/tests/data/bad"
run fuzz_repair_walker 262144 "$(repair_seeds)"
