#!/usr/bin/env bash
# Regenerates ClipHarbor's artwork into resources/: the banner (139), the device picture (140),
# the maker's logo (148) as single-frame GIF89a files with a full 256-entry global colour table
# and a transparent colour, and the application icon (six images, exact bit depths).
# Needs Debian's ImageMagick (/usr/bin/convert), fonts-dejavu-core and python3.
# The outputs are committed; the build never runs this script.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/resources
IM=/usr/bin/convert
font_dir=/usr/share/fonts/truetype/dejavu
BOLD=$font_dir/DejaVuSans-Bold.ttf
BOOK=$font_dir/DejaVuSans.ttf
for f in "$IM" "$BOLD" "$BOOK"; do
  [ -e "$f" ] || { echo "make-artwork: missing $f (packages imagemagick, fonts-dejavu-core)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Pictures are drawn on dialog backgrounds (button face, 240,240,240): soft edges are blended onto
# that colour, and only fully clear pixels become the GIF's transparent colour.
FACE='#F0F0F0'

# master.png (with alpha) -> GIF with binary transparency and exactly 256 palette entries.
to_gif() {  # to_gif master.png out.gif
  local m=$1
  $IM "$m" -background "$FACE" -alpha remove -alpha off "$work/flat.png"
  $IM "$m" -alpha extract -threshold 0 "$work/mask.png"
  # 255 opaque colours (dithered gradients) plus the transparent one.
  $IM "$work/flat.png" -dither FloydSteinberg -colors 255 "$work/mask.png" \
      -alpha off -compose CopyOpacity -composite "$work/q.png"
  python3 "$root/tools/make-artwork.py" gif "$work/q.png" "$2" "$FACE"
}

# ---- Banner, 466 x 89: product name on a deep harbour-blue gradient with a play emblem ----------
$IM -size 89x466 gradient:'#0A2342'-'#1D7DA8' -rotate -90 "$work/bgrad.png"
$IM -size 466x89 xc:none -fill white -draw 'roundrectangle 1,1 464,87 16,16' "$work/bmask.png"
$IM "$work/bgrad.png" "$work/bmask.png" -alpha off -compose CopyOpacity -composite \
    \( -size 466x44 gradient:'rgba(255,255,255,0.16)'-'rgba(255,255,255,0.0)' \) \
    -compose Over -geometry +0+1 -composite \
    "$work/bmask.png" -compose DstIn -composite "$work/b1.png"
# Gentle swell lines at the right, the harbour motif.
$IM "$work/b1.png" \
    -fill none -stroke 'rgba(255,255,255,0.16)' -strokewidth 2.5 \
    -draw 'path "M 300,66 C 330,52 350,52 380,64 C 410,76 430,76 462,60"' \
    -stroke 'rgba(255,255,255,0.10)' -strokewidth 2.5 \
    -draw 'path "M 320,78 C 350,64 370,64 400,76 C 430,88 450,86 466,74"' \
    "$work/bmask.png" -compose DstIn -composite "$work/b2.png"
# Emblem: a white disc with a play triangle in the banner's blue.
$IM "$work/b2.png" \
    -fill 'rgba(0,0,0,0.25)' -stroke none -draw 'circle 52,47 52,78' \
    -fill white -draw 'circle 50,44 50,75' \
    -fill '#14507A' -draw 'polygon 41,28 41,60 67,44' \
    -fill white -font "$BOLD" -pointsize 36 -annotate +98+50 'ClipHarbor' \
    -fill '#BFE4F7' -font "$BOOK" -pointsize 15 -annotate +100+74 'for the Zelkor Tidewell DV' \
    "$work/banner.png"
to_gif "$work/banner.png" "$out/Banner.gif"

# ---- Maker's logo, 320 x 240: the preview placeholder -----------------------------------------
$IM -size 320x240 gradient:'#FFFFFF'-'#DCE6EF' "$work/lgrad.png"
$IM -size 320x240 xc:none -fill white -draw 'roundrectangle 0,0 319,239 18,18' "$work/lmask.png"
$IM "$work/lgrad.png" "$work/lmask.png" -alpha off -compose CopyOpacity -composite \
    -fill none -stroke '#B9C8D6' -strokewidth 2 -draw 'roundrectangle 1,1 318,238 17,17' \
    "$work/l1.png"
# The mark: a teal rounded square carrying a bold white Z.
$IM -size 96x96 gradient:'#19B39E'-'#0B6E78' "$work/mgrad.png"
$IM -size 96x96 xc:none -fill white -draw 'roundrectangle 0,0 95,95 22,22' "$work/mmask.png"
$IM "$work/mgrad.png" "$work/mmask.png" -alpha off -compose CopyOpacity -composite \
    -fill white -stroke none -draw 'polygon 26,24 72,24 72,36 42,66 72,66 72,76 24,76 24,64 54,34 26,34' \
    "$work/mark.png"
$IM "$work/l1.png" \
    -fill 'rgba(0,40,60,0.18)' -draw 'roundrectangle 115,29 213,127 22,22' \
    "$work/mark.png" -geometry +112+24 -compose Over -composite \
    -fill '#1E2F3D' -font "$BOLD" -pointsize 38 -kerning 8 -gravity north -annotate +4+134 'ZELKOR' \
    -fill '#5A6D7E' -font "$BOOK" -pointsize 13 -kerning 3 -gravity north -annotate +0+186 'TIDEWELL DV' \
    "$work/logo.png"
to_gif "$work/logo.png" "$out/Logo.gif"

# ---- Device, 128 x 128: a stylised external disk ---------------------------------------------
# Graphite enclosure with a brushed front, a status light, vents and the "DV" plate, on a soft
# floor shadow.
$IM -size 128x128 xc:none \
    -fill 'rgba(0,0,0,0.10)' -draw 'ellipse 64,117 46,8 0,360' \
    -fill 'rgba(0,0,0,0.18)' -draw 'ellipse 64,116 38,5 0,360' \
    "$work/d0.png"
$IM -size 84x104 gradient:'#2F373F'-'#161B20' "$work/dbody.png"
$IM -size 84x104 xc:none -fill white -draw 'roundrectangle 0,0 83,103 15,15' "$work/dbmask.png"
$IM "$work/dbody.png" "$work/dbmask.png" -alpha off -compose CopyOpacity -composite "$work/body.png"
$IM -size 78x96 gradient:'#A9B4BF'-'#5B6570' "$work/dface.png"
$IM -size 78x96 xc:none -fill white -draw 'roundrectangle 0,0 77,95 12,12' "$work/dfmask.png"
$IM "$work/dface.png" "$work/dfmask.png" -alpha off -compose CopyOpacity -composite \
    \( -size 78x36 gradient:'rgba(255,255,255,0.40)'-'rgba(255,255,255,0.0)' \) -geometry +0+0 -compose Over -composite \
    "$work/dfmask.png" -compose DstIn -composite \
    -fill none -stroke 'rgba(255,255,255,0.55)' -strokewidth 1 -draw 'roundrectangle 0.5,0.5 76.5,94.5 12,12' \
    -stroke none -fill 'rgba(30,36,42,0.55)' \
    -draw 'roundrectangle 15,18 62,20 1,1' -draw 'roundrectangle 15,24 62,26 1,1' -draw 'roundrectangle 15,30 62,32 1,1' \
    -fill '#232A31' -draw 'roundrectangle 13,54 64,80 7,7' \
    -fill none -stroke 'rgba(255,255,255,0.25)' -draw 'roundrectangle 13.5,54.5 63.5,79.5 7,7' -stroke none \
    -fill '#E3EAF1' -font "$BOLD" -pointsize 16 -gravity north -annotate +0+58 'DV' -gravity northwest \
    -fill 'rgba(52,224,122,0.35)' -draw 'circle 63,10 63,15' \
    -fill '#3BE37F' -draw 'circle 63,10 63,12.5' \
    "$work/face.png"
$IM "$work/d0.png" "$work/body.png" -geometry +22+10 -compose Over -composite \
    "$work/face.png" -geometry +25+12 -compose Over -composite \
    -fill '#0E1216' -draw 'roundrectangle 56,110 72,113 1,1' \
    "$work/device.png"
to_gif "$work/device.png" "$out/Device.gif"

# ---- Application icon: a blue rounded tile with a play triangle and film-strip notches --------
$IM -size 256x256 gradient:'#3FA9F5'-'#0D47A1' "$work/igrad.png"
$IM -size 256x256 xc:none -fill white -draw 'roundrectangle 16,16 239,239 48,48' "$work/imask.png"
$IM "$work/igrad.png" "$work/imask.png" -alpha off -compose CopyOpacity -composite \
    -fill 'rgba(255,255,255,0.85)' \
    -draw 'roundrectangle 40,36 62,54 5,5' -draw 'roundrectangle 40,202 62,220 5,5' \
    -draw 'roundrectangle 194,36 216,54 5,5' -draw 'roundrectangle 194,202 216,220 5,5' \
    -fill white -draw 'polygon 96,72 96,184 190,128' \
    "$work/icon256.png"
for s in 48 32 16; do
  $IM "$work/icon256.png" -filter Lanczos -resize ${s}x${s} "$work/icon$s.png"
done
# 16 x 16 reads better without the notches.
$IM -size 256x256 gradient:'#3FA9F5'-'#0D47A1' "$work/imask.png" -alpha off -compose CopyOpacity -composite \
    -fill white -draw 'polygon 88,60 88,196 200,128' -filter Lanczos -resize 16x16 "$work/icon16.png"
python3 "$root/tools/make-artwork.py" ico "$out/ClipHarbor.ico" \
    "$work/icon48.png:8" "$work/icon32.png:8" "$work/icon16.png:8" \
    "$work/icon48.png:24" "$work/icon32.png:24" "$work/icon16.png:32"

python3 "$root/tools/make-artwork.py" check-gif "$out/Banner.gif" 466 89
python3 "$root/tools/make-artwork.py" check-gif "$out/Logo.gif" 320 240
python3 "$root/tools/make-artwork.py" check-gif "$out/Device.gif" 128 128
echo "make-artwork: wrote Banner.gif Logo.gif Device.gif ClipHarbor.ico to $out"
