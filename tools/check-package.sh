#!/usr/bin/env bash
# Proves that the release archive is made from a clean clone of the committed tree: clones it into a
# scratch folder (no build/ there), runs tools/package.sh in it with the test run's own i686 Release
# build, and checks the archive: the programs, the README and licence notes, and that the programs
# import only DLLs of Windows itself. Usage: tools/check-package.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: check-package.sh BUILD_DIR}" && pwd)
clone=$(mktemp -d /tmp/clipharbor-package.XXXXXX)
trap 'rm -rf "$clone"' EXIT

git clone -q "$root" "$clone/src"
(cd "$clone/src" && bash tools/package.sh --build "$build" >"$clone/package.out" 2>&1) \
  || { tail -20 "$clone/package.out"; echo "package: tools/package.sh failed in a clean clone"; exit 1; }
zip_file=$clone/src/dist/ClipHarbor-1.0-win32.zip
[ -f "$zip_file" ] || { echo "package: no archive written"; exit 1; }

fail=0
listing=$(python3 -m zipfile -l "$zip_file")
for f in ClipHarbor.exe clipinfo.exe cliprepair.exe README.txt licences/ffmpeg-LGPL-2.1.txt licences/ffmpeg-build.txt \
         licences/gcc-runtime.txt licences/mingw-w64.txt; do
  grep -q "ClipHarbor-1.0-win32/$f " <<<"$listing" || { echo "package: the archive lacks $f"; fail=1; }
done

# Only the system's own DLLs: the runtime is linked in, so a bare Windows runs the programs.
system_dlls='^(KERNEL32|USER32|GDI32|COMCTL32|COMDLG32|SHELL32|SHLWAPI|ADVAPI32|OLE32|OLEAUT32|WINMM|VERSION|BCRYPT|MSVCRT|WS2_32|UXTHEME|PSAPI)\.dll$'
unpacked=$clone/unpacked
mkdir -p "$unpacked"
(cd "$unpacked" && python3 -m zipfile -e "$zip_file" .)
for exe in "$unpacked"/ClipHarbor-1.0-win32/*.exe; do
  others=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | grep -viE "$system_dlls" || true)
  [ -z "$others" ] || { echo "package: $(basename "$exe") imports $(echo $others)"; fail=1; }
done
[ $fail = 0 ] && echo "package: $(du -k "$zip_file" | cut -f1) kB archive from a clean clone, programs importing only system DLLs"
exit $fail
