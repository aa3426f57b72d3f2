#!/usr/bin/env bash
# Builds FFmpeg's decoders for a Windows target from Debian's source package (LGPL, static, no
# programs, no avformat) and caches the install under
#   ~/.cache/clipharbor/ffmpeg/<version>-<target>-<hash of the configure line>/
# so a warm machine never rebuilds. Prints the install prefix; everything else goes to a log.
# Usage: tools/build-ffmpeg.sh i686|x86_64
set -euo pipefail

target=${1:-}
case "$target" in
  i686) arch=x86 ;;
  x86_64) arch=x86_64 ;;
  *) echo "usage: $0 i686|x86_64" >&2; exit 2 ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
cache=${CLIPHARBOR_CACHE:-$HOME/.cache/clipharbor}
version=$(dpkg-query -W -f='${Version}' libavcodec-dev 2>/dev/null || true)
[ -n "$version" ] || { echo "build-ffmpeg: libavcodec-dev is not installed (its version picks the source)" >&2; exit 1; }
plain=${version#*:}
cross=$target-w64-mingw32-

# The decoders the movie library maps QuickTime codecs to: DV, Motion-JPEG, H.264, MPEG-4 (with
# the H.263 core it builds on), uncompressed video; AAC, QuickTime IMA4 and the PCM flavours.
decoders=dvvideo,mjpeg,h264,mpeg4,h263,rawvideo,aac,adpcm_ima_qt
decoders+=,pcm_s8,pcm_u8,pcm_s16be,pcm_s16le,pcm_s24be,pcm_s24le,pcm_s32be,pcm_s32le
decoders+=,pcm_f32be,pcm_f32le,pcm_f64be,pcm_f64le,pcm_alaw,pcm_mulaw
# FFmpeg's own Win32 threads (the decoders use slice threads): the libraries need no winpthread.
# The compiler is the posix-threads flavour all the same, the one the product is built with, so
# both share one C runtime set-up. Assembly (nasm) and inline assembly build for both targets.
configure_args=(
  --enable-cross-compile --cross-prefix="$cross" --cc="${cross}gcc-posix" --cxx="${cross}g++-posix"
  --arch="$arch" --target-os=mingw32
  --enable-static --disable-shared --disable-programs --disable-doc --disable-debug
  --disable-autodetect --disable-network --disable-everything
  --disable-avformat --disable-avdevice --disable-avfilter --disable-postproc
  --enable-avcodec --enable-swscale --enable-swresample
  --enable-decoder="$decoders"
  --enable-w32threads --disable-pthreads
  --enable-x86asm --x86asmexe=nasm
)

line="./configure ${configure_args[*]}"
key=$(printf '%s\n' "$plain" "$line" | sha256sum | cut -c1-12)
prefix=$cache/ffmpeg/$plain-$target-$key
if [ -f "$prefix/CONFIGURE.txt" ]; then echo "$prefix"; exit 0; fi

mkdir -p "$cache/ffmpeg"
log=$cache/ffmpeg/$plain-$target-$key.log
exec 9>"$cache/ffmpeg/.$plain-$target-$key.lock"
flock 9
if [ -f "$prefix/CONFIGURE.txt" ]; then echo "$prefix"; exit 0; fi   # built while we waited

src=$(bash "$here/fetch-ffmpeg-source.sh" "$version")
work=$cache/ffmpeg/build-$plain-$target-$key
rm -rf "$work" "$prefix.partial"
mkdir -p "$work"
start=$(date +%s)
{
  echo "== configure: $line --prefix=$prefix"
  (cd "$work" && "$src/configure" "${configure_args[@]}" --prefix="$prefix.partial")
  echo "== make"
  make -C "$work" -j"${JOBS:-2}"
  make -C "$work" install
} >"$log" 2>&1 || { echo "build-ffmpeg: the $target build failed; see $log" >&2; exit 1; }
seconds=$(( $(date +%s) - start ))

cp "$src/COPYING.LGPLv2.1" "$prefix.partial/"
dsc=$(ls "$src"/../download-"$plain"/*.dsc 2>/dev/null | head -1 || true)
{
  echo "FFmpeg $plain for $target-w64-mingw32, built from Debian's source package"
  echo "source package: ffmpeg $version (apt-get source ffmpeg=$version; Debian main, $(basename "${dsc:-ffmpeg_$plain.dsc}"))"
  echo "licence: LGPL v2.1 or later (COPYING.LGPLv2.1); no GPL or non-free parts enabled"
  echo "compiler: $(${cross}gcc-posix --version | head -1)"
  echo "configure: $line"
  echo "build seconds: $seconds"
  grep -E '^(ARCH|x86 assembler|threading support|static|shared) ' "$log" || true
  grep -E '^#define HAVE_(INLINE_ASM|X86ASM|W32THREADS|PTHREADS) ' "$work/config.h" || true
} >"$prefix.partial/CONFIGURE.txt"
# Configure's own summary of what got enabled.
sed -n '/^External libraries:/,$p' "$log" | head -40 >>"$prefix.partial/CONFIGURE.txt" || true
mv "$prefix.partial" "$prefix"
rm -rf "$work"
echo "$prefix"
