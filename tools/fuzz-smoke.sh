#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) with clang into build/fuzz and runs a short bounded
# session over the corpus and the corrupt files. Exit status non-zero when the fuzzer finds a
# crash, leak, timeout or memory blow-up (the input is left in build/fuzz/artifacts/).
# Usage: tools/fuzz-smoke.sh [SECONDS]   (default 20)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
seconds=${1:-20}

CC=clang CXX=clang++ cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null

# New inputs go to a scratch corpus; the seed folders are only read.
mkdir -p "$build/corpus" "$build/artifacts"
"$build/fuzz_movie_reader" "$build/corpus" "$root/tests/data/corpus" "$root/tests/data/bad" \
  -max_total_time="$seconds" -rss_limit_mb=1024 -timeout=5 -max_len=262144 \
  -artifact_prefix="$build/artifacts/" -print_final_stats=1
