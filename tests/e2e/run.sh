#!/usr/bin/env bash
# End-to-end: the real ClipHarbor.exe under Wine on a mapped device, driven from outside with
# xdotool and checked on disk and on screen. Usage: run.sh path/to/ClipHarbor.exe
# Expects the environment of tools/test.sh (prefix ready, DISPLAY, wineserver running); sets it up
# itself otherwise.
set -uo pipefail
exe=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/tools/wine-env.sh" "${CLIPHARBOR_WINE_ARCH:-win64}"
wine_prefix_ready
map_test_drives
[ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1 || xvfb_start

work=$root/build/e2e
device=$work/device
media=$device/Movie/Media
fails=0
passes=0
check() {  # check "what" command...
  local what=$1; shift
  if "$@"; then passes=$((passes + 1)); echo "ok   - $what"; else fails=$((fails + 1)); echo "FAIL - $what"; fi
}
pixel() {  # pixel X Y (screen): the colour as "r,g,b"
  import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | tail -1 | sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1,\2,\3/'
}
wait_window() {  # wait_window NAME: prints the X window id
  local id=""
  for _ in $(seq 1 150); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
wait_exit() {  # wait_exit PID: waits up to 15 s; the exit code lands in $rc
  rc=timeout
  for _ in $(seq 1 60); do
    if ! kill -0 "$1" 2>/dev/null; then wait "$1"; rc=$?; return 0; fi
    sleep 0.1
  done
}

rm -rf "$work"; mkdir -p "$media"
cp "$root/samples/"*.mov "$media/"
# Two DV clips as the device records them, first in the list.
bash "$root/tools/make-dv-clips.sh" "$media" 3 A_DV
echo "not a clip" > "$media/notes.txt"
map_drive s "$device"
pid=""
dest=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -f "$WINEPREFIX/dosdevices/s:"; rm -rf "$dest"' EXIT

# A recording cut off by power loss: the NTSC clip without its last part and its movie header.
# cliprepair.exe is started as Explorer starts a file dropped onto it, with a console of its own:
# its report stays readable until a key is pressed. It takes the healthy NTSC clip of the folder as
# its template and writes a playable copy beside the damaged file, which it only reads.
repair=$(dirname "$exe")/movie/repair/cliprepair.exe
cut=$media/A_Cut.mov
whole=$(stat -c %s "$media/A_DV_NTSC.mov")
head -c $((whole * 7 / 10)) "$media/A_DV_NTSC.mov" > "$cut"
cut_sum=$(md5sum < "$cut")
"$WINE" start /wait /unix "$repair" 'S:\Movie\Media\A_Cut.mov' </dev/null >/dev/null 2>&1 &
repair_pid=$!
console=$(wait_window 'cliprepair')
sleep 1
import -window root "$work/repair-console.png"
check "dropped onto cliprepair.exe, the damaged clip is repaired in a console of its own" \
  test -n "$console" -a -f "$media/A_Cut-repaired.mov"
check "the report stays on screen until a key is pressed" kill -0 $repair_pid
[ -n "$console" ] && xdotool key --window "$console" space
wait_exit $repair_pid
check "a key closes it (exit $rc)" test "$rc" = 0
check "the damaged file is untouched" test "$(md5sum < "$cut")" = "$cut_sum"
repaired_sum=$(md5sum < "$media/A_Cut-repaired.mov")
"$WINE" "$repair" 'S:\Movie\Media\A_Cut.mov' </dev/null >"$work/repair-again.txt" 2>&1
again=$?
check "a second repair refuses to overwrite the repaired clip (exit $again)" \
  test "$again" != 0 -a "$(md5sum < "$media/A_Cut-repaired.mov")" = "$repaired_sum"
before=$(cd "$device" && find . -type f | sort | xargs md5sum)

# 1. Started by hand with a wrong argument: the fixed refusal, no window, nothing written.
"$WINE" "$exe" 'S:\Movie\Media\' >/dev/null 2>&1 &
pid=$!
box=$(wait_window 'Zelkor ClipHarbor for Windows version 1.0')
check "wrong arguments show the start-up message box" test -n "$box"
[ -n "$box" ] && xdotool key --window "$box" Return 2>/dev/null
wait_exit $pid
check "the refused start ends (exit $rc) without the main window" \
  test "$rc" = 1 -a -z "$(xdotool search --name 'ClipHarbor v1.0' 2>/dev/null)"

# 2. Started by the detector on the device: the window lists the clips.
"$WINE" "$exe" Zelkor_TWDV_LST 'S:\Movie\Media\' >/dev/null 2>&1 &
pid=$!
win=$(wait_window 'ClipHarbor v1.0')
sleep 1.5
win=$(wait_window 'ClipHarbor v1.0')
check "the main window opens" test -n "$win"
X=0; Y=0
[ -n "$win" ] && eval "$(xdotool getwindowgeometry --shell "$win")"
# Inside the window: the first clip row of the list, and the middle of the preview placeholder.
row_x=$((X + 60)); row_y=$((Y + 151))
ph_x=$((X + 650)); ph_y=$((Y + 300))
import -window root "$work/started.png"
logo=$(pixel $ph_x $ph_y)

xdotool mousemove --sync $row_x $row_y click 1
sleep 1.5
import -window root "$work/selected.png"
shown=$(pixel $ph_x $ph_y)
check "selecting the first clip, the repaired one, replaces the placeholder ($logo -> $shown)" test "$logo" != "$shown"

# Play from the bar under the movie (its button at client (470..500, 385..415); the client area
# starts 3 pixels right of and 22 below the window's corner): the slider and the time move on.
bar() { import -window root -crop "300x24+$((X + 513))+$((Y + 410))" -depth 8 rgb:- 2>/dev/null | md5sum; }
picture() { import -window root -crop "250x150+$((X + 3 + 520))+$((Y + 22 + 180))" -depth 8 rgb:- 2>/dev/null | md5sum; }
bar_before=$(bar)
xdotool mousemove --sync $((X + 488)) $((Y + 422)) click 1
sleep 0.4
frame1=$(picture)
sleep 0.4
frame2=$(picture)
sleep 0.4
bar_after=$(bar)
check "the repaired DV clip plays: its picture changes from frame to frame" test "$frame1" != "$frame2"
import -window root "$work/playing.png"
check "play on the bar moves its slider and time" test "$bar_before" != "$bar_after"

# Rename the selected clip in place (F2, type, Enter): the file is renamed on the device.
# Keys sent from outside can be lost while the program is busy: a lost try is cancelled with
# Escape and made again.
# The first row is the repaired clip (the damaged file is no movie and not listed): renaming it
# proves it is in the list.
first=$(ls "$media" | grep '\.mov$' | grep -vx A_Cut.mov | sort | head -1)
for try in 1 2 3; do
  xdotool mousemove --sync $row_x $row_y click 1
  sleep 1
  xdotool key --window "$win" F2
  sleep 1
  xdotool type --window "$win" --delay 30 "Zz_renamed.mov"
  sleep 0.5
  xdotool key --window "$win" Return
  for _ in $(seq 1 30); do [ -f "$media/Zz_renamed.mov" ] && break; sleep 0.1; done
  [ -f "$media/Zz_renamed.mov" ] && break
  xdotool key --window "$win" Escape
done
check "F2 renames $first to Zz_renamed.mov on the device" \
  test "$first" = A_Cut-repaired.mov -a -f "$media/Zz_renamed.mov" -a ! -f "$media/$first"

# Copy every clip to a folder of another drive that already holds one of them: the folder browser
# is answered from outside; the others are copied byte for byte, the one already there is reported
# in an error box and left as it was. The folder is on test drive K:, which the prefix's shell
# lists (a drive mapped after the prefix's services started works for files but is not listed).
dest=$root/build/testdrives/k/e2e-copy
rm -rf "$dest"
mkdir -p "$dest"
kept=$(ls "$media" | grep '\.mov$' | grep -vx A_Cut.mov | sort | sed -n 2p)
echo "an older copy" > "$dest/$kept"
answer=$(dirname "$exe")/tests/e2e/answer_folder_browser.exe
copy_x=$((X + 648)); copy_y=$((Y + 524))
xdotool mousemove --sync $row_x $row_y click 1
sleep 1
xdotool key --window "$win" shift+End
sleep 1
xdotool mousemove --sync $copy_x $copy_y click 1
"$WINE" "$answer" 'K:\e2e-copy' >/dev/null 2>&1
errbox=$(wait_window '^ClipHarbor$')
check "a copy onto an existing file shows an error box" test -n "$errbox"
sleep 1
import -window root "$work/copy-error-full.png"
eval "$(xdotool getwindowgeometry --shell "$win" | sed 's/^/W_/')"
/usr/bin/convert "$work/copy-error-full.png" -crop "${W_WIDTH}x${W_HEIGHT}+${W_X}+${W_Y}" +repage "$work/copy-error.png" 2>/dev/null
# (the box closes on the key press: its release finds no window, which xdotool reports)
[ -n "$errbox" ] && xdotool key --window "$errbox" Return 2>/dev/null
for _ in $(seq 1 30); do [ "$(ls "$dest" | wc -l)" -ge 4 ] && break; sleep 0.1; done
sleep 1
copied_ok=1
for f in "$media"/*.mov; do
  name=$(basename "$f")
  [ "$name" = "$kept" ] || [ "$f" = "$cut" ] && continue
  cmp -s "$f" "$dest/$name" || copied_ok=0
done
check "the other clips are copied byte for byte" test $copied_ok = 1
check "the file already there is left as it was" test "$(cat "$dest/$kept")" = "an older copy"

# Close with Alt+F4: the program ends normally.
for try in 1 2 3; do
  xdotool key --window "$win" alt+F4 2>/dev/null
  wait_exit $pid
  [ "$rc" != timeout ] && break
done
check "Alt+F4 closes the window and the program ends (exit $rc)" test "$rc" = 0

# Nothing else on the device changed: same files with the same contents, apart from the rename.
after=$(cd "$device" && find . -type f | sort | xargs md5sum | sed "s#Zz_renamed.mov#$first#" | sort -k2)
check "no other file on the device changed" test "$(echo "$before" | sort -k2)" = "$after"

echo "$passes passed, $fails failed"
[ $fails = 0 ]
