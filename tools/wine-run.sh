#!/usr/bin/env bash
# Runs a Windows program under the project's Wine prefix (the crosscompiling emulator of CTest).
# Usage: wine-run.sh --arch=win32|win64 program.exe [args...]
# Expects DISPLAY set (tools/test.sh starts Xvfb); otherwise starts a private one for this run.
arch=win64
case "${1:-}" in --arch=*) arch=${1#--arch=}; shift ;; esac
. "$(dirname "$0")/wine-env.sh" "$arch" || exit 2
wine_prefix_ready || exit 2
map_test_drives
own_x=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then xvfb_start; own_x=1; fi
"$WINE" "$@"
rc=$?
[ $own_x = 1 ] && xvfb_stop
exit $rc
