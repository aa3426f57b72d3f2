#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) with clang into build/fuzz and runs a short bounded
# session over the corpus and the corrupt files. Exit status non-zero when the fuzzer finds a
# crash, leak, timeout or memory blow-up (the input is left in build/fuzz/artifacts/).
# Usage: tools/fuzz-smoke.sh [SECONDS]   (default 20, shared by the two targets)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
seconds=${1:-20}

CC=clang CXX=clang++ cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null

# New inputs go to a scratch corpus per target; the seed folders are only read. The decoders'
# target takes whole DV clips (600 kB) as seeds.
run() {
  local target=$1 max_len=$2
  mkdir -p "$build/corpus-$target"
  "$build/$target" "$build/corpus-$target" "$root/tests/data/corpus" "$root/tests/data/bad" \
    -max_total_time="$(( (seconds + 1) / 2 ))" -rss_limit_mb=1024 -timeout=10 -max_len="$max_len" \
    -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1
}
mkdir -p "$build/artifacts"
run fuzz_movie_reader 262144
run fuzz_movie_decoders 1048576
