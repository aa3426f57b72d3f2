#!/usr/bin/env bash
# Runs the scan-and-list benchmark under Wine on test drive K: (not part of the tests).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/wine-env.sh"
wine_prefix_ready
map_test_drives
xvfb_start
clip=$(echo "Z:$root/tests/data/corpus/mjpeg_pcm_600.mov" | tr / '\\')
"$WINE" "$root/build/win64/bench/wine/scan_bench.exe" "$clip" K "$@"
