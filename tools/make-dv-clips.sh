#!/usr/bin/env bash
# Makes DV clips like the device records (QuickTime, DV25 video with 48 kHz 16-bit stereo PCM):
# one PAL (720x576, 25 fps) and one NTSC (720x480, 29.97 fps), SECONDS long each, in FOLDER, with
# Debian's ffmpeg. Too large to commit (3.6 MB a second); the demo and the end-to-end test make
# them when they set up their device. Clips already there are kept.
# Usage: tools/make-dv-clips.sh FOLDER SECONDS [PREFIX]
set -euo pipefail
folder=${1:?usage: make-dv-clips.sh FOLDER SECONDS [PREFIX]}
seconds=${2:?usage: make-dv-clips.sh FOLDER SECONDS [PREFIX]}
prefix=${3:-Harbour_DV}
mkdir -p "$folder"
make() {  # make NAME SIZE RATE PIXFMT SOUNDCODEC PATTERN FREQUENCY
  local file="$folder/$1"
  [ -f "$file" ] && return 0
  ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "$6=size=$2:rate=$3:duration=$seconds" -f lavfi -i "sine=frequency=$7:sample_rate=48000:duration=$seconds" \
    -fflags +bitexact -flags:v +bitexact -flags:a +bitexact -map_metadata -1 \
    -c:v dvvideo -pix_fmt "$4" -c:a "$5" -ac 2 "$file.part.mov"
  mv "$file.part.mov" "$file"
}
make "${prefix}_PAL.mov" 720x576 25 yuv420p pcm_s16be testsrc2 440
make "${prefix}_NTSC.mov" 720x480 30000/1001 yuv411p pcm_s16le testsrc 660
