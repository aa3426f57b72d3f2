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
  for _ in $(seq 1 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
wait_exit() {  # wait_exit PID: waits up to 30 s; the exit code lands in $rc
  rc=timeout
  for _ in $(seq 1 300); do
    if ! kill -0 "$1" 2>/dev/null; then wait "$1"; rc=$?; return 0; fi
    sleep 0.1
  done
}
# Nothing here waits a fixed time for the program: each step waits until the screen or the disk
# shows what the step is for. The limit only matters when that never comes.
wait_for() {  # wait_for SECONDS COMMAND...: true as soon as COMMAND is
  local end=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -ge $end ] && return 1; sleep 0.1; done
}
screen_digest() {  # screen_digest WxH+X+Y (screen): a digest of what the screen shows there
  import -window root -crop "$1" -depth 8 rgb:- 2>/dev/null | md5sum
}
differs() {  # differs LOOK-FUNCTION DIGEST: the screen no longer shows DIGEST there
  [ "$($1)" != "$2" ]
}
shows() { [ "$($1)" = "$2" ]; }
settled() {  # settled LOOK-FUNCTION: two looks 0.3 s apart are the same
  local a; a=$($1); sleep 0.3; [ "$($1)" = "$a" ]
}
pointer_at() { [ "$(xdotool getmouselocation --shell | head -2 | tr '\n' ' ')" = "X=$1 Y=$2 " ]; }
# xdotool's own wait (mousemove --sync) waits for the pointer to move: sent where the pointer
# already is, it waits 15 s before it clicks.
click() {  # click X Y (screen)
  xdotool mousemove "$1" "$2"
  wait_for 10 pointer_at "$1" "$2"
  xdotool click 1
}
# A key to a window that closes on its press. xdotool presses a key for the window with the focus
# through the X server, as a keyboard would, and then fails to find the window for the release:
# the key stays held and the X server repeats it into whatever has the focus next.
key_closing() {  # key_closing WINDOW KEY
  xdotool key --window "$1" "$2" 2>/dev/null
  xdotool keyup "$2"
}

rm -rf "$work"; mkdir -p "$media"
cp "$root/samples/"*.mov "$media/"
# Two DV clips as the device records them, first in the list (made once, kept between runs).
bash "$root/tools/make-dv-clips.sh" "$root/build/e2e-dv-15s" 15 A_DV
cp "$root/build/e2e-dv-15s/"A_DV_*.mov "$media/"
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
# (written under another name and renamed when complete)
wait_for 120 test -f "$media/A_Cut-repaired.mov"
check "dropped onto cliprepair.exe, the damaged clip is repaired in a console of its own" \
  test -n "$console" -a -f "$media/A_Cut-repaired.mov"
screen() { screen_digest 1280x1024+0+0; }
wait_for 30 settled screen
import -window root "$work/repair-console.png"
check "the report stays on screen until a key is pressed" kill -0 $repair_pid
[ -n "$console" ] && key_closing "$console" space
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
[ -n "$box" ] && key_closing "$box" Return
wait_exit $pid
check "the refused start ends (exit $rc) without the main window" \
  test "$rc" = 1 -a -z "$(xdotool search --name 'ClipHarbor v1.0' 2>/dev/null)"

# 2. Started by the detector on the device: the window lists the clips.
"$WINE" "$exe" Zelkor_TWDV_LST 'S:\Movie\Media\' >/dev/null 2>&1 &
pid=$!
win=$(wait_window 'ClipHarbor v1.0')
check "the main window opens" test -n "$win"
X=0; Y=0
geometry() { xdotool getwindowgeometry --shell "$win" 2>/dev/null | head -3 | tr '\n' ' '; }
[ -n "$win" ] && wait_for 30 settled geometry && eval "$(xdotool getwindowgeometry --shell "$win")"
# Inside the window: the first clip row of the list, a spot of it left of its name, and the
# middle of the preview placeholder.
row_x=$((X + 60)); row_y=$((Y + 151))
row_spot() { pixel $((X + 18)) $((Y + 147)); }
ph_x=$((X + 650)); ph_y=$((Y + 300))
row_shown() {  # the first row has its text
  local least
  least=$(import -window root -crop "120x10+$((X + 22))+$((Y + 142))" -colorspace Gray -format '%[fx:minima]' info: 2>/dev/null)
  awk -v v="${least:-1}" 'BEGIN { exit !(v < 0.9) }'
}
wait_for 30 row_shown
import -window root "$work/started.png"
logo=$(pixel $ph_x $ph_y)

placeholder_gone() { [ "$(pixel $ph_x $ph_y)" != "$logo" ]; }
click $row_x $row_y
check "selecting the first clip, the repaired one, replaces the placeholder" wait_for 30 placeholder_gone
import -window root "$work/selected.png"
# The selected row of the list that has the focus, in the system's highlight colour.
highlight=$(row_spot)
list_has_focus() { [ "$(row_spot)" = "$highlight" ]; }

# The control bar under the movie (the client area starts 3 pixels right of and 22 below the
# window's corner): the button at client (470..500, 385..415), the slider's groove through its
# middle (y 400) from x 506, the time text at its right end.
cx=$((X + 3)); cy=$((Y + 22))
play_x=$((cx + 485)); play_y=$((cy + 400))
bar() { screen_digest "300x24+$((X + 513))+$((Y + 410))"; }
picture() { screen_digest "250x150+$((cx + 520))+$((cy + 180))"; }
button() { screen_digest "22x22+$((cx + 474))+$((cy + 389))"; }
time_text() { screen_digest "64x24+$((cx + 762))+$((cy + 388))"; }
played() {  # the groove's played length in pixels: the run of its first colour, up to the thumb
  import -window root -crop "250x1+$((cx + 508))+$((cy + 400))" -depth 8 txt:- 2>/dev/null |
    awk 'NR == 2 { first = $3 } NR > 1 { if ($3 != first) exit; n++ } END { print n + 0 }'
}
pause_px=(); pause_text=""
# Pauses (by the button or by Space) and checks what a user sees: the play symbol back, the
# picture and the time text held. Sets paused_at, paused_picture.
check_paused() {  # check_paused HOW
  check "$1 pauses: the button shows play" wait_for 30 shows button "$play_symbol"
  paused_picture=$(picture); paused_time=$(time_text); paused_at=$(played)
  pause_px+=("$paused_at"); pause_text="${pause_text:+$pause_text, }$1 at $paused_at px"
  sleep 0.6
  check "$1: two looks 0.6 s apart are the same picture" shows picture "$paused_picture"
  check "$1: the time text stays" shows time_text "$paused_time"
}
# Checks that play goes on from where it paused: the slider stands where it was when the button
# shows pause again, and the picture moves on.
check_resumed() {  # check_resumed HOW
  check "$1 plays again: the button shows pause" wait_for 30 differs button "$play_symbol"
  local now; now=$(played)
  check "$1 plays on from where it paused, not from the start (slider at $now px, paused at $paused_at)" \
    test "$now" -ge "$paused_at"
  check "$1: the picture moves on" wait_for 30 differs picture "$paused_picture"
}

# The clip (10.5 s) must not reach its end between a press that plays it and the next, or that
# press would rightly start it over: each pause comes a second after the time text moved on (a
# start over would then put the slider back), and the keys start again from the beginning.
first_picture=$(picture); bar_before=$(bar); first_time=$(time_text); play_symbol=$(button)
click $play_x $play_y
check "the repaired DV clip plays: its picture changes" wait_for 30 differs picture "$first_picture"
check "and its time moves on" wait_for 30 differs time_text "$first_time"
click $play_x $play_y
check_paused "a second press on the button"
check "play on the bar moved its slider" differs bar "$bar_before"
import -window root "$work/paused.png"
click $play_x $play_y
check_resumed "a third press"

# The keys, after a click on the movie: Tab first gives the focus to the list, whose selected row
# shows it; a click on the picture takes it for the movie.
xdotool key --window "$win" Tab
check "Tab gives the focus to the list" wait_for 30 list_has_focus
click $((cx + 650)) $((cy + 250))
list_lost_focus() { ! list_has_focus; }
check "a click on the movie takes the focus from the list" wait_for 30 list_lost_focus
xdotool key --window "$win" Home
check "Home goes back to the start" wait_for 30 shows time_text "$first_time"
start_picture=$(picture)
xdotool key --window "$win" space
check "Space plays: the picture changes" wait_for 30 differs picture "$start_picture"
check "and the time moves on" wait_for 30 differs time_text "$first_time"
xdotool key --window "$win" space
check_paused "Space again"
xdotool key --window "$win" space
check_resumed "Space a third time"
import -window root "$work/playing.png"
# The end shows the play symbol and holds too: every pause above must have stood short of it. End
# puts the slider there (a press that restarted the clip, and a wait that let it run to its end,
# would look like a pause there).
xdotool key --window "$win" End
wait_for 30 shows button "$play_symbol"
wait_for 30 settled bar
end_at=$(played)
short_of_end() { local p; for p in "${pause_px[@]}"; do [ "$p" -lt "$end_at" ] || return 1; done; }
check "each pause stood short of the end ($pause_text; the end at $end_at px)" short_of_end

# Rename the selected clip in place (Tab to the list, F2, type, Enter): the file is renamed on the
# device. Each key waits for the window to show the one before took effect; a try that goes wrong
# all the same is cancelled with Escape and made again.
# The first row is the repaired clip (the damaged file is no movie and not listed): renaming it
# proves it is in the list.
first=$(ls "$media" | grep '\.mov$' | grep -vx A_Cut.mov | sort | head -1)
renamed() { test -f "$media/Zz_renamed.mov"; }
edit_shown() { [ "$(row_spot)" != "$highlight" ]; }
for try in 1 2 3; do
  list_has_focus || xdotool key --window "$win" Tab
  wait_for 30 list_has_focus
  xdotool key --window "$win" F2
  wait_for 30 edit_shown
  xdotool type --window "$win" --delay 30 "Zz_renamed.mov"
  xdotool key --window "$win" Return
  wait_for 30 renamed && break
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
status() { screen_digest "220x14+$((X + 600))+$((Y + 120))"; }
click $row_x $row_y
wait_for 30 list_has_focus
one_selected=$(status)
xdotool key --window "$win" shift+End
wait_for 30 differs status "$one_selected"
click $copy_x $copy_y
"$WINE" "$answer" 'K:\e2e-copy' >/dev/null 2>&1
answered=$?
errbox=$(wait_window '^ClipHarbor$')
# (The helper ends 1 when no folder browser came, or it would not select the folder.)
check "a copy onto an existing file shows an error box (the browser answered: exit $answered)" test -n "$errbox"
wait_for 30 settled screen
import -window root "$work/copy-error-full.png"
eval "$(xdotool getwindowgeometry --shell "$win" | sed 's/^/W_/')"
/usr/bin/convert "$work/copy-error-full.png" -crop "${W_WIDTH}x${W_HEIGHT}+${W_X}+${W_Y}" +repage "$work/copy-error.png" 2>/dev/null
[ -n "$errbox" ] && key_closing "$errbox" Return
copies_done() {
  local f name
  for f in "$media"/*.mov; do
    name=$(basename "$f")
    [ "$name" = "$kept" ] || [ "$f" = "$cut" ] && continue
    cmp -s "$f" "$dest/$name" || return 1
  done
}
wait_for 120 copies_done
check "the other clips are copied byte for byte" copies_done
check "the file already there is left as it was" test "$(cat "$dest/$kept")" = "an older copy"

# Close with Alt+F4: the program ends normally.
for try in 1 2 3; do
  key_closing "$win" alt+F4
  wait_exit $pid
  [ "$rc" != timeout ] && break
done
check "Alt+F4 closes the window and the program ends (exit $rc)" test "$rc" = 0

# Nothing else on the device changed: same files with the same contents, apart from the rename.
after=$(cd "$device" && find . -type f | sort | xargs md5sum | sed "s#Zz_renamed.mov#$first#" | sort -k2)
check "no other file on the device changed" test "$(echo "$before" | sort -k2)" = "$after"

echo "$passes passed, $fails failed"
[ $fails = 0 ]
