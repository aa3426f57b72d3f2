#!/usr/bin/env bash
# Fetches Debian's FFmpeg source package of the same version as the installed libavcodec-dev and
# unpacks it with Debian's patches applied, outside the clone. Adds a deb-src twin of the machine's
# Debian suites the first time (needs root then). Prints the source folder; quiet otherwise.
# Usage: tools/fetch-ffmpeg-source.sh [VERSION]
set -euo pipefail

cache=${CLIPHARBOR_CACHE:-$HOME/.cache/clipharbor}
version=${1:-$(dpkg-query -W -f='${Version}' libavcodec-dev 2>/dev/null || true)}
[ -n "$version" ] || { echo "fetch-ffmpeg-source: libavcodec-dev is not installed" >&2; exit 1; }
# Paths carry no epoch: a ':' would split make's search paths.
plain=${version#*:}                 # 5.1.9-0+deb12u1
upstream=${plain%-*}                # 5.1.9
src=$cache/src/ffmpeg-$plain
log=$cache/src/fetch-ffmpeg-$plain.log

if [ -f "$src/.unpacked" ]; then echo "$src"; exit 0; fi
mkdir -p "$cache/src"
: >"$log"

# deb-src entries for the Debian suites of debian.sources, in a file of our own.
ensure_deb_src() {
  local list=/etc/apt/sources.list.d/clipharbor-deb-src.sources
  [ -f "$list" ] && return 0
  [ "$(id -u)" = 0 ] || { echo "fetch-ffmpeg-source: run as root once to add $list" >&2; return 1; }
  [ -f /etc/apt/sources.list.d/debian.sources ] \
    || { echo "fetch-ffmpeg-source: no /etc/apt/sources.list.d/debian.sources to mirror" >&2; return 1; }
  awk 'BEGIN { RS = ""; ORS = "\n\n" }
       /(^|\n)Types:[^\n]*deb/ && /debian\.org|debian-security/ {
         sub(/Types:[^\n]*/, "Types: deb-src"); print }' /etc/apt/sources.list.d/debian.sources >"$list"
  [ -s "$list" ] || { rm -f "$list"; echo "fetch-ffmpeg-source: no Debian suite in debian.sources" >&2; return 1; }
}

# (grep -q would close the pipe early and fail the pipeline under pipefail.)
have_source() { apt-cache showsrc ffmpeg 2>/dev/null | grep -xF "Version: $version" >/dev/null; }

if ! have_source; then
  ensure_deb_src
  # An unrelated index (a foreign architecture mid-sync) may fail; only the source index matters.
  . "$(dirname "$0")/apt-wait.sh"
  apt_get "$log" update || true
  have_source || { echo "fetch-ffmpeg-source: ffmpeg $version is not in the deb-src indexes (see $log)" >&2; exit 1; }
fi

dl=$cache/src/download-$plain
mkdir -p "$dl"
if ! ls "$dl"/*.dsc >/dev/null 2>&1; then
  (cd "$dl" && apt-get source --download-only "ffmpeg=$version") >>"$log" 2>&1 \
    || { echo "fetch-ffmpeg-source: apt-get source failed (see $log)" >&2; exit 1; }
fi

rm -rf "$src"
if command -v dpkg-source >/dev/null; then
  dpkg-source --no-check -x "$dl"/ffmpeg_"$plain".dsc "$src" >>"$log" 2>&1 \
    || { echo "fetch-ffmpeg-source: dpkg-source failed (see $log)" >&2; exit 1; }
else
  # Without dpkg-dev: the upstream tarball plus Debian's quilt series, in order.
  mkdir -p "$src"
  tar -xf "$dl"/ffmpeg_"$upstream".orig.tar.* -C "$src" --strip-components=1
  tar -xf "$dl"/ffmpeg_"$plain".debian.tar.* -C "$src"
  if [ -f "$src/debian/patches/series" ]; then
    grep -v '^\s*\(#\|$\)' "$src/debian/patches/series" | while read -r p _; do
      patch -d "$src" -p1 -s <"$src/debian/patches/$p" >>"$log" 2>&1
    done
  fi
fi
[ -f "$src/configure" ] && [ -f "$src/COPYING.LGPLv2.1" ] \
  || { echo "fetch-ffmpeg-source: unexpected layout in $src" >&2; exit 1; }
touch "$src/.unpacked"
echo "$src"
