#!/usr/bin/env bash
# Runs the sound tests of a Windows test program with a real sound device: for this run only, the
# prefix's audio driver is ALSA and ALSA's default device writes into a file (a private HOME with
# an .asoundrc); the tests find the file in CLIPHARBOR_SOUND_OUT. Every other run keeps the driver
# off: it is switched back when this run ends, and wine_prefix_ready does it after a killed run.
# Usage: run-sound.sh win32|win64 program.exe [args...]
set -u
arch=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/wine-env.sh" "$arch" || exit 2
wine_prefix_ready || exit 2
map_test_drives
own_x=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then xvfb_start || exit 2; own_x=1; fi

work=$(mktemp -d /tmp/clipharbor-sound.XXXXXX)
cat > "$work/.asoundrc" <<ASOUND
pcm.!default { type file  slave.pcm "null"  file "$work/out.raw"  format "raw"  truncate false }
ASOUND
finish() {
  wine_audio_off
  rm -rf "$work"
  [ $own_x = 1 ] && xvfb_stop
}
trap finish EXIT
touch "$WINEPREFIX/.clipharbor-audio-on"
"$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null 2>&1 || exit 2
HOME=$work CLIPHARBOR_SOUND_OUT=$work/out.raw "$WINE" "$@"
