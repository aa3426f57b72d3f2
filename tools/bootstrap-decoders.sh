#!/usr/bin/env bash
# What playback decoding needs on a fresh Debian 12 machine, as root: FFmpeg's development
# packages natively, the ffmpeg command (the decoder tests compare against it), nasm and pkg-config
# and the 64-bit mingw compiler for the Windows builds of FFmpeg, dpkg-dev to unpack Debian's source
# package, and that source itself (once, into ~/.cache/clipharbor/src; it adds a deb-src entry).
# Idempotent and quiet; meant to be called by tools/bootstrap.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

pkgs=(ffmpeg libavcodec-dev libswscale-dev libswresample-dev libavutil-dev pkg-config nasm dpkg-dev
      g++-mingw-w64-x86-64 mingw-w64-x86-64-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  [ "$(id -u)" = 0 ] || { echo "bootstrap-decoders: run as root to install: ${missing[*]}" >&2; exit 1; }
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null 2>&1 || true   # a foreign index failing mid-sync must not stop us
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ "$(id -u)" = 0 ] && command -v update-alternatives >/dev/null; then
  update-alternatives --set x86_64-w64-mingw32-g++ /usr/bin/x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || true
  update-alternatives --set x86_64-w64-mingw32-gcc /usr/bin/x86_64-w64-mingw32-gcc-posix >/dev/null 2>&1 || true
fi
bash "$here/fetch-ffmpeg-source.sh" >/dev/null
