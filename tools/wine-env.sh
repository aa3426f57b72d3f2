# Sourced by the scripts that run Windows programs: the project's own Wine prefix and display.
# Usage: . tools/wine-env.sh [win32|win64]; then wine_prefix_ready, xvfb_start, wineserver_start.
# The architecture comes from the argument, else from CLIPHARBOR_WINE_ARCH, else win64. Each
# architecture has a prefix of its own (build/wineprefix32, build/wineprefix64).
_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export CLIPHARBOR_ROOT=$_root
# (A script that sources this without an argument passes its own arguments along: only win* is
# taken for an architecture.)
case "${1:-}" in win*) CLIPHARBOR_WINE_ARCH=$1 ;; esac
export CLIPHARBOR_WINE_ARCH=${CLIPHARBOR_WINE_ARCH:-win64}
case "$CLIPHARBOR_WINE_ARCH" in
  win32) export WINEARCH=win32 WINE=/usr/lib/wine/wine ;;
  win64) export WINEARCH=win64 WINE=/usr/lib/wine/wine64 ;;
  *) echo "wine-env: unknown architecture '$CLIPHARBOR_WINE_ARCH' (win32 or win64)" >&2; return 2 ;;
esac
# A prefix given by the caller (WINEPREFIX, or CLIPHARBOR_PREFIX_BASE for a family of them) is kept;
# one that an earlier sourcing chose for another architecture is not.
_base=${CLIPHARBOR_PREFIX_BASE:-$_root/build/wineprefix}
if [ -z "${WINEPREFIX:-}" ] || [ "$WINEPREFIX" = "${_base}32" ] || [ "$WINEPREFIX" = "${_base}64" ]; then
  export WINEPREFIX=${_base}${WINEARCH#win}
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
export WINESERVER=/usr/lib/wine/wineserver

# The build folder of the Windows programs for an architecture.
wine_build_dir() { [ "${1:-$CLIPHARBOR_WINE_ARCH}" = win32 ] && echo "$_root/build/win32" || echo "$_root/build/win64"; }
wine_toolchain() { [ "${1:-$CLIPHARBOR_WINE_ARCH}" = win32 ] && echo "$_root/cmake/mingw-i686.cmake" || echo "$_root/cmake/mingw-x86_64.cmake"; }

# Whether this machine runs 32-bit Windows programs: the kernel runs 32-bit code (the bootstrap's
# own probe, so both agree), the 32-bit loader is installed and starts, a 32-bit prefix boots, and
# `probe` (a 32-bit console exe given with its arguments) exits 0. Makes the 32-bit prefix as a
# side effect. Quiet.
wine32_runs() {
  bash "$_root/tools/runs-32bit.sh"; [ $? = 1 ] && return 1
  [ -x /usr/lib/wine/wine ] || return 1
  /usr/lib/wine/wine --version >/dev/null 2>&1 || return 1
  (
    . "$_root/tools/wine-env.sh" win32 || exit 1
    wine_prefix_ready || exit 1
    timeout 120 "$WINE" "$@" </dev/null >/dev/null 2>&1
    rc=$?
    "$WINESERVER" -k >/dev/null 2>&1
    exit $rc
  )
}

# Creates the prefix once: no audio driver, no window-manager decorations managed by X
# (without Managed=N every hide of a top-level window waits 2 s under a bare X server).
wine_prefix_ready() {
  # A sound-test run that was killed left the audio driver on; every other run wants it off.
  [ -f "$WINEPREFIX/.clipharbor-audio-on" ] && wine_audio_off
  if [ -f "$WINEPREFIX/.clipharbor-ready" ]; then return 0; fi
  wine_prefix_create || return 1
  # The 64-bit loader alone does not find Wine's own fonts (Tahoma for "MS Shell Dlg", Marlett for
  # the caption buttons); without them dialogs lay out with another font's wider metrics.
  cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  touch "$WINEPREFIX/.clipharbor-ready"
}

# Switches the prefix's audio driver off again after tests/win/run-sound.sh switched it on.
wine_audio_off() {
  "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d "" /f >/dev/null 2>&1 &&
    rm -f "$WINEPREFIX/.clipharbor-audio-on"
}

wine_prefix_create() {
  rm -rf "$WINEPREFIX"; mkdir -p "$(dirname "$WINEPREFIX")"
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  "$WINESERVER" -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-env: the $WINEARCH prefix did not boot" >&2; return 1; }
  local reg
  reg=$(mktemp /tmp/clipharbor-prefix.XXXXXX.reg)
  cat > "$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Audio"=""

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="Y"
REG
  "$WINE" regedit "$reg" >/dev/null 2>&1
  "$WINESERVER" -w
  rm -f "$reg"
}

# A private virtual display unless one is given.
xvfb_start() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 91 140); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    CLIPHARBOR_XVFB_PID=$!
    export DISPLAY=:$n
    for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  done
  echo "could not start Xvfb" >&2; return 1
}

xvfb_stop() { [ -n "${CLIPHARBOR_XVFB_PID:-}" ] && kill "$CLIPHARBOR_XVFB_PID" 2>/dev/null; true; }

# One persistent wineserver for a whole run: warm starts take ~0.1 s instead of ~1 s.
# The first program of a session also starts the prefix's background services, which stay with the
# server; start them here, detached from any caller's output, or a test runner waiting for the end
# of its test's output would wait for them too.
wineserver_start() {
  "$WINESERVER" -p >/dev/null 2>&1 || true
  "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}
wineserver_stop() { "$WINESERVER" -k >/dev/null 2>&1 || true; }

# Maps a drive letter of the prefix to a folder (the way a real device letter appears to Windows).
map_drive() {  # map_drive x /some/folder
  mkdir -p "$2"
  ln -sfn "$2" "$WINEPREFIX/dosdevices/$1:"
}

# Drive M: is a small file system of its own, a tmpfs of 8 MiB, where this run may mount one (as
# root): the tests fill it for a full disk and move clips onto it across file systems; elsewhere it
# is a plain folder and those tests say they are skipped. Map it before the prefix's services start,
# or the folder browser does not list it.
small_drive_mount() {
  local dir=$_root/build/testdrives/m
  mkdir -p "$dir"
  if ! mountpoint -q "$dir"; then
    if [ "$(id -u)" != 0 ] || ! mount -t tmpfs -o size=8m clipharbor-small "$dir" 2>/dev/null; then
      echo "drive M: is a plain folder (no tmpfs could be mounted): the full-disk and cross-file-system tests are skipped"
    fi
  fi
  map_drive m "$dir"
}
small_drive_unmount() {
  local dir=$_root/build/testdrives/m
  if mountpoint -q "$dir"; then umount "$dir" 2>/dev/null || true; fi
}

# Test drives D: to K:, each an empty folder under the build tree; tests fill them through Windows calls.
map_test_drives() {
  local d
  for d in d e f g h i j k; do map_drive "$d" "$_root/build/testdrives/$d"; done
}
