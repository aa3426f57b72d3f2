# Sourced by the scripts that run Windows programs: the project's own Wine prefix and display.
# Usage: . tools/wine-env.sh [build-dir]; then wine_prefix_ready, xvfb_start, wineserver_start.
_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export CLIPHARBOR_ROOT=$_root
export WINEPREFIX=${WINEPREFIX:-$_root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
export WINEARCH=win64
# This machine's kernel runs no 32-bit code, so Wine runs the 64-bit build of the same sources.
export WINE=${WINE:-/usr/lib/wine/wine64}
export WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}

# Creates the prefix once: no audio driver, no window-manager decorations managed by X
# (without Managed=N every hide of a top-level window waits 2 s under a bare X server).
wine_prefix_ready() {
  if [ -f "$WINEPREFIX/.clipharbor-ready" ]; then return 0; fi
  wine_prefix_create
  # The 64-bit loader alone does not find Wine's own fonts (Tahoma for "MS Shell Dlg", Marlett for
  # the caption buttons); without them dialogs lay out with another font's wider metrics.
  cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  touch "$WINEPREFIX/.clipharbor-ready"
}

wine_prefix_create() {
  rm -rf "$WINEPREFIX"; mkdir -p "$(dirname "$WINEPREFIX")"
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  "$WINESERVER" -w
  cat > /tmp/clipharbor-prefix.$$.reg <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Audio"=""

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="Y"
REG
  "$WINE" regedit /tmp/clipharbor-prefix.$$.reg >/dev/null 2>&1
  "$WINESERVER" -w
  rm -f /tmp/clipharbor-prefix.$$.reg
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

# Test drives D: to K:, each an empty folder under the build tree; tests fill them through Windows calls.
map_test_drives() {
  local d
  for d in d e f g h i j k; do map_drive "$d" "$_root/build/testdrives/$d"; done
}
