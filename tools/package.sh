#!/usr/bin/env bash
# Builds the 32-bit product in Release and writes dist/ClipHarbor-1.0-win32.zip: ClipHarbor.exe,
# clipinfo.exe, cliprepair.exe, a short user README and the licence notes of everything linked in.
# Usage: tools/package.sh [--build DIR]   (DIR: an i686 Release build folder to build and take the
# programs from, instead of build/release32; the test command passes its own)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

build=build/release32
if [ "${1:-}" = --build ]; then build=${2:?package: --build needs a folder}; fi

as_root bash tools/bootstrap.sh
mkdir -p build
configure() {
  [ "$build" != build/release32 ] && return 0  # a given folder is configured already
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release -DCLIPHARBOR_TESTS=OFF
}
{ configure && cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target ClipHarbor clipinfo cliprepair; } \
  >build/package.log 2>&1 || { tail -40 build/package.log; exit 1; }

stage=build/package/ClipHarbor-1.0-win32
rm -rf "$stage"
mkdir -p "$stage/licences" dist
cp "$build/ClipHarbor.exe" "$build/movie/container/clipinfo.exe" "$build/movie/repair/cliprepair.exe" "$stage/"
i686-w64-mingw32-strip "$stage"/*.exe

cat > "$stage/README.txt" <<'EOF'
ClipHarbor 1.0 for the Zelkor Tidewell DV
=========================================

ClipHarbor manages the movie clips that the Tidewell DV records under \Movie\Media\ on the
device: it lists them with their size, date and duration, sorts and renames them, previews the
selected clip with its control bar, copies, moves and deletes clips, and shows the free space
and the recording time left on the device.

Starting it
-----------
- With no arguments (double-click ClipHarbor.exe): it looks at every drive letter from A: to Z:
  for the folder \Movie\Media\ and works on the drives that have it. With no such drive it says
  so and ends.
- From the device's detector, or a shortcut of your own, with the device token and one or more
  device folders:

      ClipHarbor.exe Zelkor_TWDV_LST "E:\Movie\Media\"

  Any other command line is refused with a message.

clipinfo.exe is a console tool that prints the time scale, duration and tracks of clips:

      clipinfo.exe [--json] FILE-OR-FOLDER...

A clip cut off while recording
------------------------------
When the power fails or the device is pulled out while it records, the clip keeps its pictures
and sound but loses the movie header written at the end: no player opens it, and ClipHarbor
leaves it out of its list (clipinfo.exe lists it as "cut off"). cliprepair.exe brings it back:
drop the clip onto cliprepair.exe, or run

      cliprepair.exe "E:\Movie\Media\Clip0042.mov"

It takes a healthy clip recorded the same way as its template (the newest one in the same folder
that fits, or the one given with --like HEALTHY), writes Clip0042-repaired.mov beside the damaged
clip (or the name given with -o OUT) and reports the frames and seconds it recovered. The damaged
clip is only read, and no existing file is ever overwritten.

The programs run on 32-bit and 64-bit Windows and need no installation.
The licences of the parts built into them are in the folder licences\.
EOF

# Licence notes: our runtime (GCC's libgcc/libstdc++, mingw-w64's CRT and winpthreads) and FFmpeg's
# decoders with their version, configure line and source.
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licences/gcc-runtime.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licences/mingw-w64.txt"
licence=$(sed -n 's/^CLIPHARBOR_FFMPEG_LICENCE:[A-Z]*=//p' "$build/CMakeCache.txt")
configure=$(sed -n 's/^CLIPHARBOR_FFMPEG_CONFIGURE:[A-Z]*=//p' "$build/CMakeCache.txt")
[ -f "$licence" ] && [ -f "$configure" ] || { echo "package: no FFmpeg licence or build notes in $build" >&2; exit 1; }
cp "$licence" "$stage/licences/ffmpeg-LGPL-2.1.txt"
cp "$configure" "$stage/licences/ffmpeg-build.txt"
for f in "$stage/README.txt" "$stage"/licences/*.txt; do sed -i 's/$/\r/' "$f"; done

zip_file=dist/ClipHarbor-1.0-win32.zip
rm -f "$zip_file"
(cd build/package && zip -q -r -X "$root/$zip_file" ClipHarbor-1.0-win32)
echo "Wrote $zip_file ($(du -k "$zip_file" | cut -f1) kB):"
python3 -m zipfile -l "$zip_file"
