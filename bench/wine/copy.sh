#!/usr/bin/env bash
# Runs the copy-and-move benchmark under Wine (not part of the tests): a clip of MiB (default
# 2048) on test drive K: copied and moved to drive L:, a tmpfs mounted for the run, so that both
# go to another file system. Build build/win64 target copy_bench first. Usage: copy.sh [MiB] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
mib=${1:-2048}
rounds=${2:-3}
. "$root/tools/wine-env.sh"
wine_prefix_ready
map_test_drives
other=$root/build/bench-tmpfs
mkdir -p "$other"
mounted=0
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=$((mib * 3 / 2 + 64))m clipharbor-bench "$other" 2>/dev/null; then
  mounted=1
else
  # Without the right to mount: a folder on the shared-memory tmpfs.
  other=/dev/shm/clipharbor-bench-$$
  mkdir -p "$other"
fi
cleanup() {
  rm -f "$WINEPREFIX/dosdevices/l:"
  if [ $mounted = 1 ]; then umount "$other"; else rm -rf "$other"; fi
  wineserver_stop
  xvfb_stop
}
trap cleanup EXIT
map_drive l "$other"
echo "device K: on $(stat -f -c %T "$root/build/testdrives/k"), drive L: on $(stat -f -c %T "$other")"
xvfb_start
wineserver_start
"$WINE" "$root/build/win64/bench/wine/copy_bench.exe" K L "$mib" "$rounds"
