#!/usr/bin/env bash
# Writes tests/data/foreign_images/: small pictures made by other programs
# (ImageMagick, GraphicsMagick, Netpbm, libjpeg-turbo's cjpeg/jpegtran,
# Pillow, libvips, pngcrush, optipng) from the fixtures pattern.png (11 x 7,
# every channel varying) and smooth.png (40 x 24). MANIFEST lists each file
# with the way tests/image_foreign_test.sh compares it with ImageMagick's
# decoding of the same file, and the command that made it; VERSIONS the
# programs' versions. A program that is missing is left out (with a note).
#
# Debian packages: imagemagick graphicsmagick netpbm libjpeg-turbo-progs
# python3-pil libvips-tools pngcrush optipng.
#
# Modes in MANIFEST:
#   exact        every RGBA byte equal
#   near N       every channel within N (lossy or rescaled data)
#   noalpha N    red, green, blue within N, alpha stored as 255 (grey with
#                alpha in PNG, BMP alpha: the loader drops the alpha)
#   flipped N    within N of ImageMagick's decoding turned upside down: a
#                bottom-up TGA, which ImageMagick 6 reads top row first
#   same FILE    exactly ImageMagick's decoding of FILE (the same pixels in
#                a form ImageMagick reads right)
#   reject       the loader rejects the file, as designed
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
images="$here/../tests/data/images"
out="${1:-$here/../tests/data/foreign_images}"
im=/usr/bin/convert  # ImageMagick itself, whatever convert stands first in PATH
mkdir -p "$out"
out="$(cd "$out" && pwd)"
rm -f "$out"/*.bmp "$out"/*.png "$out"/*.jpg "$out"/*.tga "$out"/*.dds
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
manifest="$out/MANIFEST"
: >"$manifest"
note() { echo "$*" >&2; }
# to COMMAND...: COMMAND whose standard output is the file (named by mk).
to() { "$@" >"$out/$file"; }
have() { command -v "$1" >/dev/null 2>&1; }

# mk FILE MODE COMMAND...: runs COMMAND (which writes $out/FILE) and
# records it; a command that fails leaves the file out.
mk() {
  local file="$1" mode="$2"
  shift 2
  if (cd "$work" && "$@") 2>"$work/log" && [ -s "$out/$file" ]; then
    local what
    what="$(printf '%s ' "$@" | sed "s|$out/||g; s|$work/||g; s|$im|convert|g; s/ $//")"
    [ "$1" = to ] && what="${what#to } > $file"
    printf '%s\t%s\t%s\n' "$file" "$mode" "$what" >>"$manifest"
  else
    note "left out $file: $(head -c 300 "$work/log")"
    rm -f "$out/$file"
  fi
}

# Sources, in the work folder.
cp "$images/pattern.png" "$work/rgba.png"
$im "$images/smooth.png" -crop 37x21+1+1 +repage "$work/smooth.png"    # odd sides for the JPEG block edges
$im "$work/rgba.png" -alpha off "$work/rgb.png"
$im "$work/rgba.png" -alpha off -colorspace Gray "$work/grey.png"
$im "$work/rgb.png" -dither None -colors 16 "$work/c16.png"
$im "$work/rgb.png" -dither None -colors 200 "$work/c200.png"
$im "$work/rgb.png" -monochrome "$work/mono.png"
$im "$work/rgba.png" -channel A -threshold 50% +channel "$work/rgba_bin.png"   # alpha 0 or 255
$im "$work/smooth.png" ppm:"$work/smooth.ppm"
$im "$work/rgb.png" ppm:"$work/rgb.ppm"
$im "$work/grey.png" pgm:"$work/grey.pgm"
$im "$work/c16.png" ppm:"$work/c16.ppm"
$im "$work/mono.png" pbm:"$work/mono.pbm"
$im "$work/rgba.png" -alpha extract pgm:"$work/alpha.pgm"
$im "$work/rgb.png" -depth 16 ppm:"$work/rgb16.ppm"
$im "$work/rgba.png" pam:"$work/rgba.pam"

# ImageMagick: BMP headers, depths, bit fields, RLE, alpha.
mk im_bmp2.bmp exact $im rgb.png "bmp2:$out/im_bmp2.bmp"
mk im_bmp3.bmp exact $im rgb.png "bmp3:$out/im_bmp3.bmp"
mk im_bmp4.bmp exact $im rgb.png "bmp:$out/im_bmp4.bmp"
mk im_bmp4_alpha.bmp "noalpha 0" $im rgba.png "bmp:$out/im_bmp4_alpha.bmp"
mk im_bmp3_alpha.bmp "noalpha 0" $im rgba.png -define bmp3:alpha=true "bmp3:$out/im_bmp3_alpha.bmp"
mk im_bmp_pal8.bmp exact $im c200.png -type Palette "bmp3:$out/im_bmp_pal8.bmp"
mk im_bmp_pal8_rle.bmp exact $im c200.png -type Palette -compress RLE "bmp3:$out/im_bmp_pal8_rle.bmp"
mk im_bmp_pal4.bmp exact $im c16.png -type Palette "bmp3:$out/im_bmp_pal4.bmp"
mk im_bmp_pal4_v5.bmp exact $im c16.png -type Palette "bmp:$out/im_bmp_pal4_v5.bmp"
mk im_bmp_mono.bmp exact $im mono.png -type Bilevel "bmp3:$out/im_bmp_mono.bmp"
mk im_bmp_mono_bmp2.bmp exact $im mono.png -type Bilevel "bmp2:$out/im_bmp_mono_bmp2.bmp"
mk im_bmp_grey.bmp exact $im grey.png -type Grayscale "bmp3:$out/im_bmp_grey.bmp"
mk im_bmp_rgb565.bmp exact $im rgb.png -define bmp:subtype=RGB565 "bmp:$out/im_bmp_rgb565.bmp"
# ImageMagick widens 4 bits as v x 16 and 5 bits of ARGB1555 by bit replication.
mk im_bmp_argb4444.bmp "noalpha 15" $im rgba.png -define bmp:subtype=ARGB4444 "bmp:$out/im_bmp_argb4444.bmp"
mk im_bmp_rgb555.bmp exact $im rgb.png -define bmp:subtype=RGB555 "bmp:$out/im_bmp_rgb555.bmp"
mk im_bmp_argb1555.bmp "noalpha 1" $im rgba.png -define bmp:subtype=ARGB1555 "bmp:$out/im_bmp_argb1555.bmp"

# ImageMagick: PNG colour types and depths, interlace, ancillary chunks.
for spec in 0:1 0:2 0:4 0:8 0:16 2:8 2:16 3:1 3:2 3:4 3:8 4:8 4:16 6:8 6:16; do
  ct="${spec%:*}" bd="${spec#*:}"
  case "$ct" in
    0) src=grey.png ;;
    3) src=c16.png ;;
    4) src=rgba.png ;;
    6) src=rgba.png ;;
    *) src=rgb.png ;;
  esac
  [ "$ct" = 0 ] && [ "$bd" = 1 ] && src=mono.png
  [ "$ct" = 3 ] && [ "$bd" = 1 ] && src=mono.png
  [ "$ct" = 4 ] && src=grey.png
  mode=exact
  [ "$bd" = 16 ] && mode="near 1"  # 16 bits are cut to their high byte; ImageMagick rounds
  if [ "$ct" = 4 ]; then
    mode="noalpha 0"
    [ "$bd" = 16 ] && mode="noalpha 1"
  fi
  if [ "$ct" = 4 ]; then
    # grey with alpha: a grey picture with pattern's alpha
    $im "$work/grey.png" \( "$work/rgba.png" -alpha extract \) -alpha off -compose CopyOpacity -composite "$work/greya.png"
    src=greya.png
  fi
  mk "im_png_c${ct}_${bd}.png" "$mode" $im "$src" -define png:color-type="$ct" -define png:bit-depth="$bd" "$out/im_png_c${ct}_${bd}.png"
done
mk im_png_c6_8_interlaced.png exact $im rgba.png -interlace PNG "png32:$out/im_png_c6_8_interlaced.png"
mk im_png_c2_16_interlaced.png "near 1" $im rgb.png -interlace PNG "png48:$out/im_png_c2_16_interlaced.png"
mk im_png8_trns.png exact $im rgba_bin.png "png8:$out/im_png8_trns.png"
mk im_png_gama_srgb.png exact $im rgb.png -define png:include-chunk=gAMA,cHRM,sRGB,bKGD,tIME,tEXt "png24:$out/im_png_gama_srgb.png"
mk im_png_iccp.png exact $im rgb.png -profile /usr/share/color/icc/ghostscript/srgb.icc "png24:$out/im_png_iccp.png"

# ImageMagick: TGA (it writes rows top first but flags them bottom-up; it
# reads them back the same way, so its decoding matches ours).
mk im_tga_rgb.tga "flipped 0" $im rgb.png "tga:$out/im_tga_rgb.tga"
mk im_tga_rgba_rle.tga "flipped 0" $im rgba.png -compress RLE "tga:$out/im_tga_rgba_rle.tga"
mk im_tga_cmap.tga "flipped 0" $im c16.png -type Palette "tga:$out/im_tga_cmap.tga"
mk im_tga_cmap_rle.tga "flipped 0" $im c16.png -type Palette -compress RLE "tga:$out/im_tga_cmap_rle.tga"
mk im_tga_grey.tga reject $im grey.png -type Grayscale "tga:$out/im_tga_grey.tga"

# ImageMagick: DDS.
mk im_dds_argb.dds exact $im rgba.png -define dds:compression=none "dds:$out/im_dds_argb.dds"
mk im_dds_rgb.dds reject $im rgb.png -define dds:compression=none "dds:$out/im_dds_rgb.dds"
mk im_dds_dxt1.dds "near 1" $im smooth.png -define dds:compression=dxt1 -define dds:mipmaps=0 "dds:$out/im_dds_dxt1.dds"
mk im_dds_dxt1_mips.dds "near 1" $im smooth.png -define dds:compression=dxt1 "dds:$out/im_dds_dxt1_mips.dds"
mk im_dds_dxt3.dds "near 1" $im rgba.png -define dds:compression=dxt3 -define dds:mipmaps=0 "dds:$out/im_dds_dxt3.dds"
mk im_dds_dxt5_mips.dds "near 1" $im rgba.png -define dds:compression=dxt5 "dds:$out/im_dds_dxt5_mips.dds"

# ImageMagick: embedded profiles, DXT1 with one-bit alpha, many IDAT chunks.
mk im_bmp_iccp.bmp exact $im rgb.png -profile /usr/share/color/icc/ghostscript/srgb.icc "bmp:$out/im_bmp_iccp.bmp"
mk im_bmp_pal4_rle.bmp exact $im c16.png -type Palette -compress RLE "bmp3:$out/im_bmp_pal4_rle.bmp"
mk im_jpg_iccp.jpg "near 3" $im smooth.png -quality 90 -profile /usr/share/color/icc/ghostscript/srgb.icc "$out/im_jpg_iccp.jpg"
mk im_dds_dxt1_alpha.dds "near 1" $im rgba_bin.png -define dds:compression=dxt1 -define dds:mipmaps=0 "dds:$out/im_dds_dxt1_alpha.dds"
mk im_dds_fast_mips.dds "near 1" $im smooth.png -define dds:compression=dxt5 -define dds:fast-mipmaps=true "dds:$out/im_dds_fast_mips.dds"

# ImageMagick: the smallest and thinnest pictures of each format.
for geometry in 1x1+4+3 1x7+5+0 11x1+0+3 2x3+1+1 5x5+3+1; do
  size="${geometry%%+*}"
  $im "$work/rgba.png" -crop "$geometry" +repage "$work/crop_$size.png"
  $im "$work/rgb.png" -crop "$geometry" +repage "$work/crop_rgb_$size.png"
  mk "im_${size}_bmp3.bmp" exact $im "crop_rgb_$size.png" "bmp3:$out/im_${size}_bmp3.bmp"
  # ImageMagick pads runs to the 4-byte row and reads them on into the next row
  mk "im_${size}_pal_rle.bmp" "same im_${size}_bmp3.bmp" $im "crop_rgb_$size.png" -type Palette -compress RLE "bmp3:$out/im_${size}_pal_rle.bmp"
  mk "im_${size}_png.png" exact $im "crop_$size.png" "png32:$out/im_${size}_png.png"
  mk "im_${size}_png_grey2.png" exact $im "crop_rgb_$size.png" -colorspace Gray -define png:color-type=0 -define png:bit-depth=2 "$out/im_${size}_png_grey2.png"
  mk "im_${size}_tga_rle.tga" "flipped 0" $im "crop_$size.png" -compress RLE "tga:$out/im_${size}_tga_rle.tga"
  mk "im_${size}_dxt1.dds" "near 1" $im "crop_rgb_$size.png" -define dds:compression=dxt1 "dds:$out/im_${size}_dxt1.dds"
  mk "im_${size}_dxt5.dds" "near 1" $im "crop_$size.png" -define dds:compression=dxt5 "dds:$out/im_${size}_dxt5.dds"
  mk "im_${size}_argb.dds" exact $im "crop_$size.png" -define dds:compression=none "dds:$out/im_${size}_argb.dds"
  mk "im_${size}.jpg" "near 3" $im "crop_rgb_$size.png" -quality 90 "$out/im_${size}.jpg"
done

# GraphicsMagick.
if have gm; then
  mk gm_bmp2.bmp exact gm convert rgb.png "bmp2:$out/gm_bmp2.bmp"
  mk gm_bmp3.bmp exact gm convert rgb.png "bmp3:$out/gm_bmp3.bmp"
  mk gm_bmp4_alpha.bmp "noalpha 0" gm convert rgba.png "bmp:$out/gm_bmp4_alpha.bmp"
  mk gm_bmp_pal8_rle.bmp exact gm convert c200.png -type Palette -compress RLE "bmp3:$out/gm_bmp_pal8_rle.bmp"
  $im "$work/rgb.png" -crop 1x7+5+0 +repage "$work/rgb_1x7.png"
  mk gm_1x7_pal_rle.bmp exact gm convert rgb_1x7.png -type Palette -compress RLE "bmp3:$out/gm_1x7_pal_rle.bmp"
  mk gm_tga_rgb.tga "flipped 0" gm convert rgb.png "tga:$out/gm_tga_rgb.tga"
  mk gm_tga_rgba_rle.tga "flipped 0" gm convert rgba.png -compress RLE "tga:$out/gm_tga_rgba_rle.tga"
  mk gm_tga_cmap.tga "flipped 0" gm convert c16.png -type Palette "tga:$out/gm_tga_cmap.tga"
  mk gm_png_pal.png exact gm convert c16.png "png8:$out/gm_png_pal.png"
  mk gm_png_rgba16.png "near 1" gm convert rgba.png -depth 16 "png:$out/gm_png_rgba16.png"
  mk gm_jpg_q90.jpg "near 3" gm convert smooth.png -quality 90 "$out/gm_jpg_q90.jpg"
else
  note "gm missing: GraphicsMagick files left out"
fi

# Netpbm.
if have ppmtobmp; then
  mk nb_bmp24.bmp exact to ppmtobmp -bpp 24 rgb.ppm
  mk nb_bmp24_os2.bmp exact to ppmtobmp -os2 -bpp 24 rgb.ppm
  mk nb_bmp8.bmp exact to ppmtobmp -bpp 8 c16.ppm
  mk nb_bmp4.bmp exact to ppmtobmp -bpp 4 c16.ppm
  mk nb_bmp4_os2.bmp exact to ppmtobmp -os2 -bpp 4 c16.ppm
  mk nb_bmp1.bmp exact to ppmtobmp -bpp 1 mono.pbm
  mk nb_bmp1_os2.bmp exact to ppmtobmp -os2 -bpp 1 mono.pbm
  mk nb_png_rgb.png exact to pnmtopng rgb.ppm
  mk nb_png_rgb16.png "near 1" to pnmtopng rgb16.ppm
  mk nb_png_alpha.png exact to pnmtopng -alpha=alpha.pgm rgb.ppm
  mk nb_png_interlace.png exact to pnmtopng -interlace rgb.ppm
  mk nb_png_pal_trans.png exact to pnmtopng -transparent "=$($im "$work/c16.png" -format '%[pixel:p{0,0}]' info: | sed 's/srgb(\(.*\))/rgb:\1/; s/,/\//g')" c16.ppm
  mk nb_png_grey.png exact to pnmtopng grey.pgm
  mk nb_png_mono.png exact to pnmtopng mono.pbm
  mk nb_png_gamma.png exact to pnmtopng -gamma 0.45 rgb.ppm
  mk nb_jpg.jpg "near 3" to pnmtojpeg -quality 90 smooth.ppm
  mk nb_jpg_progressive.jpg "near 3" to pnmtojpeg -quality 90 -progressive smooth.ppm
  mk nb_jpg_grey.jpg "near 3" to pnmtojpeg -quality 90 -greyscale smooth.ppm
  mk nb_tga_rgb.tga "flipped 0" to pamtotga -rgb -norle rgb.ppm
  mk nb_tga_rgb_rle.tga "flipped 0" to pamtotga -rgb rgb.ppm
  # 32 bits with alpha, yet no attribute bits in the descriptor
  mk nb_tga_rgba.tga "flipped 0" to pamtotga -rgb -norle rgba.pam
  mk nb_tga_rgba_rle.tga "flipped 0" to pamtotga -rgb rgba.pam
  mk nb_tga_cmap.tga "flipped 0" to pamtotga -cmap -norle c16.ppm
  mk nb_tga_cmap_rle.tga "flipped 0" to pamtotga -cmap c16.ppm
  grey_first="$($im "$work/grey.png" -format '%[fx:int(255*p{0,0}.r+0.5)]' info:)"
  mk nb_png_grey_trns.png "noalpha 0" to pnmtopng -transparent "=rgb:$(printf '%02x/%02x/%02x' "$grey_first" "$grey_first" "$grey_first")" grey.pgm
  mk nb_png_rgb16_trns.png "near 1" to pnmtopng -transparent "=$($im "$work/rgb16.ppm" -format '%[pixel:p{0,0}]' info: | sed 's/srgb(\(.*\))/rgb:\1/; s/,/\//g')" rgb16.ppm
  mk nb_png_mono_trns.png "noalpha 0" to pnmtopng -transparent "=rgb:ff/ff/ff" mono.pbm
  $im "$work/grey.png" -depth 16 -evaluate Add 40 pgm:"$work/grey16.pgm"  # low bytes that are not copies of the high
  mk nb_png_grey16_trns.png "noalpha 1" to pnmtopng -transparent "=rgb:$(printf '%02x/%02x/%02x' "$grey_first" "$grey_first" "$grey_first")" grey16.pgm
  mk nb_tga_mono.tga reject to pamtotga -mono -norle grey.pgm
else
  note "netpbm missing: its files left out"
fi

# libjpeg-turbo's cjpeg and jpegtran.
if have cjpeg; then
  mk cj_baseline.jpg "near 3" cjpeg -quality 90 -outfile "$out/cj_baseline.jpg" smooth.ppm
  mk cj_progressive.jpg "near 3" cjpeg -quality 90 -progressive -outfile "$out/cj_progressive.jpg" smooth.ppm
  mk cj_restart.jpg "near 3" cjpeg -quality 90 -restart 1 -outfile "$out/cj_restart.jpg" smooth.ppm
  mk cj_arithmetic.jpg "near 3" cjpeg -quality 90 -arithmetic -outfile "$out/cj_arithmetic.jpg" smooth.ppm
  mk cj_optimize.jpg "near 3" cjpeg -quality 90 -optimize -outfile "$out/cj_optimize.jpg" smooth.ppm
  mk cj_float.jpg "near 3" cjpeg -quality 90 -dct float -outfile "$out/cj_float.jpg" smooth.ppm
  mk cj_grey.jpg "near 3" cjpeg -quality 90 -grayscale -outfile "$out/cj_grey.jpg" smooth.ppm
  mk cj_rgb.jpg "near 3" cjpeg -quality 90 -rgb -outfile "$out/cj_rgb.jpg" smooth.ppm
  for s in 1x1 2x1 1x2 2x2 4x1 1x4 4x2; do
    mk "cj_sample_$s.jpg" "near 3" cjpeg -quality 90 -sample "$s" -outfile "$out/cj_sample_$s.jpg" smooth.ppm
  done
  mk cj_q20.jpg "near 3" cjpeg -quality 20 -outfile "$out/cj_q20.jpg" smooth.ppm
  mk cj_odd_3x5.jpg "near 3" sh -c "$im smooth.png -crop 3x5+9+4 ppm:- | cjpeg -quality 90 >'$out/cj_odd_3x5.jpg'"
  mk cj_sample_3x1.jpg "near 3" cjpeg -quality 90 -sample 3x1 -outfile "$out/cj_sample_3x1.jpg" smooth.ppm
  mk cj_grey_progressive_arith.jpg "near 3" cjpeg -quality 90 -grayscale -progressive -arithmetic -outfile "$out/cj_grey_progressive_arith.jpg" smooth.ppm
  mk cj_smooth_restart_rows.jpg "near 3" cjpeg -quality 75 -smooth 30 -restart 1B -sample 2x2 -outfile "$out/cj_smooth_restart_rows.jpg" smooth.ppm
  mk cj_1x9_420.jpg "near 3" sh -c "$im smooth.png -crop 1x9+20+2 ppm:- | cjpeg -quality 90 -sample 2x2 >'$out/cj_1x9_420.jpg'"
  mk jt_crop.jpg "near 3" jpegtran -crop 13x11+3+5 -outfile "$out/jt_crop.jpg" "$out/cj_sample_2x2.jpg"
  mk cj_sample_mixed.jpg "near 3" cjpeg -quality 90 -sample 2x2,2x1,1x1 -outfile "$out/cj_sample_mixed.jpg" smooth.ppm
  mk cj_sample_chroma_wider.jpg "near 3" cjpeg -quality 90 -sample 1x1,2x2,2x2 -outfile "$out/cj_sample_chroma_wider.jpg" smooth.ppm
  mk cj_sample_3x2.jpg "near 3" cjpeg -quality 90 -sample 3x2 -outfile "$out/cj_sample_3x2.jpg" smooth.ppm
  mk cj_grey_sample_2x2.jpg "near 3" cjpeg -quality 90 -grayscale -sample 2x2 -outfile "$out/cj_grey_sample_2x2.jpg" smooth.ppm
  printf '%s\n' "0: 0 0 0 1;" "1 2: 0 0 0 0;" "0: 1 5 0 2;" "0: 6 63 0 2;" "0: 1 63 2 1;" "0: 1 63 1 0;" "1: 1 63 0 0;" "2: 1 63 0 0;" "0: 0 0 1 0;" >"$work/scans.txt"
  mk cj_scans.jpg "near 3" cjpeg -quality 90 -scans scans.txt -outfile "$out/cj_scans.jpg" smooth.ppm
  mk jt_progressive_arith.jpg "near 3" jpegtran -progressive -arithmetic -outfile "$out/jt_progressive_arith.jpg" "$out/cj_baseline.jpg"
  mk jt_rotate90.jpg "near 3" jpegtran -rotate 90 -trim -outfile "$out/jt_rotate90.jpg" "$out/cj_baseline.jpg"
  mk jt_grey.jpg "near 3" jpegtran -grayscale -outfile "$out/jt_grey.jpg" "$out/cj_sample_2x2.jpg"
  mk jt_restart_optimize.jpg "near 3" jpegtran -restart 2B -optimize -copy none -outfile "$out/jt_restart_optimize.jpg" "$out/cj_progressive.jpg"
else
  note "cjpeg missing: libjpeg-turbo files left out"
fi

# Pillow (Debian's python3-pil, for the system Python).
py=/usr/bin/python3
if [ -x "$py" ] && "$py" -c "import PIL" 2>/dev/null; then
  pil() { "$py" -c "import sys; from PIL import Image; exec(sys.argv[1])" "$@"; }
  mk pil_bmp_rgb.bmp exact pil "Image.open('rgb.png').convert('RGB').save('$out/pil_bmp_rgb.bmp')"
  mk pil_bmp_rgba.bmp "noalpha 0" pil "Image.open('rgba.png').convert('RGBA').save('$out/pil_bmp_rgba.bmp')"
  mk pil_bmp_p.bmp exact pil "Image.open('c16.png').convert('P').save('$out/pil_bmp_p.bmp')"
  mk pil_bmp_l.bmp exact pil "Image.open('grey.png').convert('L').save('$out/pil_bmp_l.bmp')"
  mk pil_bmp_1.bmp exact pil "Image.open('mono.png').convert('1').save('$out/pil_bmp_1.bmp')"
  mk pil_png_rgba.png exact pil "Image.open('rgba.png').save('$out/pil_png_rgba.png', optimize=True)"
  mk pil_png_p4.png exact pil "Image.open('c16.png').convert('P').save('$out/pil_png_p4.png', bits=4)"
  mk pil_png_la.png "noalpha 0" pil "Image.open('rgba.png').convert('LA').save('$out/pil_png_la.png')"
  mk pil_png_i16.png "near 1" pil "Image.open('grey.png').convert('I').point(lambda v: v * 257).save('$out/pil_png_i16.png')"
  mk pil_png_p_trns.png exact pil "Image.open('rgba_bin.png').convert('RGBA').quantize(16, method=Image.Quantize.FASTOCTREE).save('$out/pil_png_p_trns.png')"
  mk pil_png_rgb_trns.png exact pil "Image.open('rgb.png').convert('RGB').save('$out/pil_png_rgb_trns.png', transparency=Image.open('rgb.png').convert('RGB').getpixel((0, 0)))"
  mk pil_jpg_444.jpg "near 3" pil "Image.open('smooth.png').convert('RGB').save('$out/pil_jpg_444.jpg', quality=90, subsampling=0)"
  mk pil_jpg_422.jpg "near 3" pil "Image.open('smooth.png').convert('RGB').save('$out/pil_jpg_422.jpg', quality=90, subsampling=1)"
  mk pil_jpg_420_progressive.jpg "near 3" pil "Image.open('smooth.png').convert('RGB').save('$out/pil_jpg_420_progressive.jpg', quality=90, subsampling=2, progressive=True)"
  mk pil_jpg_cmyk.jpg "near 3" pil "Image.open('smooth.png').convert('CMYK').save('$out/pil_jpg_cmyk.jpg', quality=95)"
  mk pil_jpg_l.jpg "near 3" pil "Image.open('smooth.png').convert('L').save('$out/pil_jpg_l.jpg', quality=90)"
  mk pil_tga_rgb.tga "flipped 0" pil "Image.open('rgb.png').convert('RGB').save('$out/pil_tga_rgb.tga')"
  mk pil_tga_rgba_rle.tga "flipped 0" pil "Image.open('rgba.png').save('$out/pil_tga_rgba_rle.tga', compression='tga_rle')"
  mk pil_tga_rgba_top.tga exact pil "Image.open('rgba.png').save('$out/pil_tga_rgba_top.tga', orientation=1)"
  mk pil_tga_p.tga "flipped 0" pil "Image.open('c16.png').convert('P').save('$out/pil_tga_p.tga')"
  mk pil_tga_p_rle.tga "flipped 0" pil "Image.open('c16.png').convert('P').save('$out/pil_tga_p_rle.tga', compression='tga_rle')"
  mk pil_tga_l.tga reject pil "Image.open('grey.png').convert('L').save('$out/pil_tga_l.tga')"
  mk pil_png_p1_trns.png exact pil "im = Image.open('mono.png').convert('L').convert('P'); im.save('$out/pil_png_p1_trns.png', bits=1, transparency=0)"
  mk pil_png_p2_trns.png exact pil "im = Image.open('c16.png').convert('RGB').quantize(4); im.save('$out/pil_png_p2_trns.png', bits=2, transparency=bytes([0, 128, 255]))"
  mk pil_png_apng.png exact pil "a = Image.open('rgba.png'); a.save('$out/pil_png_apng.png', save_all=True, append_images=[a.transpose(Image.Transpose.FLIP_LEFT_RIGHT)], duration=100)"
  mk pil_png_exif.png exact pil "e = Image.Exif(); e[0x0112] = 6; Image.open('rgba.png').save('$out/pil_png_exif.png', exif=e.tobytes())"
  mk pil_tga_rgba_top_rle.tga exact pil "Image.open('rgba.png').save('$out/pil_tga_rgba_top_rle.tga', orientation=1, compression='tga_rle')"
  mk pil_tga_id.tga "flipped 0" pil "Image.open('rgba.png').save('$out/pil_tga_id.tga', id_section=b'made by Pillow')"
  mk pil_tga_la.tga reject pil "Image.open('rgba.png').convert('LA').save('$out/pil_tga_la.tga')"
  mk pil_jpg_q100_opt.jpg "near 3" pil "Image.open('smooth.png').convert('RGB').save('$out/pil_jpg_q100_opt.jpg', quality=100, subsampling=0, optimize=True)"
  mk pil_jpg_exif.jpg "near 3" pil "im = Image.open('smooth.png').convert('RGB'); e = Image.Exif(); e[0x0112] = 1; e[0x010e] = 'Pillow'; im.save('$out/pil_jpg_exif.jpg', quality=90, exif=e.tobytes(), comment=b'a comment')"
  mk pil_dds_rgba.dds exact pil "Image.open('rgba.png').save('$out/pil_dds_rgba.dds')"
  mk pil_dds_rgb.dds reject pil "Image.open('rgb.png').convert('RGB').save('$out/pil_dds_rgb.dds')"
else
  note "Pillow missing: its files left out"
fi

# libvips.
if have vips; then
  mk vips_png.png exact vips copy rgba.png "$out/vips_png.png[compression=9]"
  mk vips_png_interlace.png exact vips copy rgba.png "$out/vips_png_interlace.png[interlace]"
  mk vips_png_pal.png exact vips copy c16.png "$out/vips_png_pal.png[palette,bitdepth=4]"
  mk vips_png_16.png "near 1" vips copy rgb16.ppm "$out/vips_png_16.png"
  mk vips_png_rgba16.png "near 1" vips copy rgba.png "$out/vips_png_rgba16.png[bitdepth=16]"
  mk vips_jpg.jpg "near 3" vips copy smooth.png "$out/vips_jpg.jpg[Q=90]"
  mk vips_jpg_progressive.jpg "near 3" vips copy smooth.png "$out/vips_jpg_progressive.jpg[Q=90,interlace,optimize-coding]"
  mk vips_jpg_444.jpg "near 3" vips copy smooth.png "$out/vips_jpg_444.jpg[Q=90,subsample-mode=off]"
else
  note "vips missing: its files left out"
fi

# pngcrush and optipng squeeze ImageMagick's PNGs into other colour types.
if have pngcrush; then
  mk crush_rgb.png exact pngcrush -q -reduce -brute rgb.png "$out/crush_rgb.png"
  mk crush_pal.png exact pngcrush -q -reduce c16.png "$out/crush_pal.png"
  mk crush_grey.png exact pngcrush -q -reduce grey.png "$out/crush_grey.png"
  mk crush_mono.png exact pngcrush -q -reduce mono.png "$out/crush_mono.png"
  mk crush_idat_256.png exact pngcrush -q -max 256 -m 1 smooth.png "$out/crush_idat_256.png"
fi
if have optipng; then
  mk opti_pal.png exact sh -c "cp c16.png '$out/opti_pal.png' && optipng -quiet -o2 '$out/opti_pal.png'"
  mk opti_interlace.png exact sh -c "cp rgba_bin.png '$out/opti_interlace.png' && optipng -quiet -i1 '$out/opti_interlace.png'"
  mk opti_mono.png exact sh -c "cp mono.png '$out/opti_mono.png' && optipng -quiet '$out/opti_mono.png'"
fi

{
  echo "ImageMagick: $($im -version | head -1)"
  have gm && echo "GraphicsMagick: $(gm version | head -1)"
  have ppmtobmp && echo "Netpbm: $(ppmtobmp --version 2>&1 | grep -o 'Netpbm Version: .*')"
  have cjpeg && echo "libjpeg-turbo: $(cjpeg -version 2>&1 | head -1)"
  [ -x "$py" ] && "$py" -c "import PIL" 2>/dev/null && echo "Pillow: $("$py" -c 'import PIL; print(PIL.__version__)')"
  have vips && echo "libvips: $(vips --version)"
  have pngcrush && echo "pngcrush: $(pngcrush -version 2>&1 | grep -o 'pngcrush [0-9.]*' | head -1)"
  have optipng && echo "OptiPNG: $(optipng -v | head -1)"
} >"$out/VERSIONS"
echo "$(wc -l <"$manifest") files in $out"
