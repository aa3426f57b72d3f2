#!/usr/bin/env bash
# Runs a Windows program under the project's Wine prefix (the crosscompiling emulator of CTest).
# Expects DISPLAY set (tools/test.sh starts Xvfb); otherwise starts a private one for this run.
. "$(dirname "$0")/wine-env.sh"
wine_prefix_ready
map_test_drives
own_x=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then xvfb_start; own_x=1; fi
"$WINE" "$@"
rc=$?
[ $own_x = 1 ] && xvfb_stop
exit $rc
