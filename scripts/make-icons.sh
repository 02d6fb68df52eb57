#!/usr/bin/env bash
# Draws the program's icons (resources/icons/N.png at 16 px, resources/icons/32/N.png
# at 32 px) and toolbar bitmap 128 (resources/bitmaps/128.png, eleven 20 px images)
# with ImageMagick, in the flat outlined style of a freedesktop icon theme. The PNGs
# are kept in the repository; run this only to change a picture.
set -euo pipefail
cd "$(dirname "$0")/../resources"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Every picture is drawn on a 64 x 64 canvas and scaled down.
draw() { # name, then -draw primitives (each a separate argument)
  local name=$1; shift
  local args=()
  for d in "$@"; do args+=(-draw "$d"); done
  convert -size 64x64 xc:none -strokewidth 3 "${args[@]}" "$work/$name.png"
}

# Parts shared by several pictures.
folder=( "fill #edd400 stroke #8f5902 path 'M6,14 L24,14 L28,20 L58,20 L58,54 L6,54 Z'"
         "fill #fce94f stroke #8f5902 rectangle 6,24 58,54" )
openfolder=( "fill #edd400 stroke #8f5902 path 'M6,14 L24,14 L28,20 L54,20 L54,28 L6,28 Z'"
             "fill #fce94f stroke #8f5902 path 'M6,54 L14,28 L62,28 L54,54 Z'" )
monitor() { # x offset, y offset, scale in eighths
  local x=$1 y=$2 s=$3
  echo "fill #d3d7cf stroke #2e3436 rectangle $((x)),$((y)) $((x+40*s/8)),$((y+28*s/8))"
  echo "fill #729fcf stroke #204a87 rectangle $((x+5*s/8)),$((y+5*s/8)) $((x+35*s/8)),$((y+23*s/8))"
  echo "fill #888a85 stroke #2e3436 rectangle $((x+12*s/8)),$((y+30*s/8)) $((x+28*s/8)),$((y+34*s/8))"
}
globe=( "fill #729fcf stroke #204a87 circle 32,32 32,6"
        "fill none stroke #204a87 ellipse 32,32 12,26 0,360"
        "fill none stroke #204a87 line 6,32 58,32"
        "fill #8ae234 stroke #4e9a06 path 'M20,14 L30,12 L34,22 L26,30 L18,26 Z'"
        "fill #8ae234 stroke #4e9a06 path 'M36,36 L48,34 L50,46 L40,52 Z'" )
lens=( "fill #babdb6 stroke #2e3436 polygon 38,42 44,36 60,52 54,58"
       "fill #eeeeec stroke #2e3436 circle 26,26 26,6"
       "fill none stroke #729fcf circle 26,26 26,12" )
clock() { # face colour
  echo "fill $1 stroke #2e3436 circle 32,32 32,6"
  echo "fill #ffffff stroke #2e3436 circle 32,32 32,12"
  echo "stroke #2e3436 stroke-width 4 line 32,32 32,18"
  echo "stroke #2e3436 stroke-width 4 line 32,32 42,38"
}
doc=( "fill #ffffff stroke #555753 path 'M12,4 L40,4 L52,16 L52,60 L12,60 Z'"
      "fill #d3d7cf stroke #555753 path 'M40,4 L40,16 L52,16 Z'"
      "stroke #888a85 line 20,26 44,26" "stroke #888a85 line 20,34 44,34" "stroke #888a85 line 20,42 44,42" )
printer=( "fill #ffffff stroke #555753 rectangle 18,6 46,26"
          "fill #babdb6 stroke #2e3436 roundrectangle 6,22 58,46 4,4"
          "fill #ffffff stroke #555753 rectangle 16,38 48,58"
          "fill #73d216 stroke #4e9a06 circle 50,30 50,27" )

mapfile -t mon0 < <(monitor 12 10 8)
mapfile -t monA < <(monitor 2 4 5)
mapfile -t monB < <(monitor 34 4 5)
mapfile -t monC < <(monitor 18 34 5)

draw 128 "${globe[@]}" "fill #eeeeec stroke #2e3436 circle 40,40 40,26" "fill #babdb6 stroke #2e3436 polygon 48,50 52,46 62,56 58,60"
draw 130 "${folder[@]}"
draw 131 "${doc[@]}" "fill #edd400 stroke #8f5902 path 'M24,34 L36,34 L39,38 L60,38 L60,62 L24,62 Z'"
draw 132 "fill #fce94f stroke #c4a000 polygon 32,4 40,24 62,24 44,38 51,60 32,46 13,60 20,38 2,24 24,24"
draw 133 "${folder[@]}" "fill #3465a4 stroke #204a87 rectangle 22,50 42,60" "stroke #204a87 line 4,60 60,60"
draw 134 "${globe[@]}"
draw 135 "${doc[@]}"
draw 136 "fill #d3d7cf stroke #2e3436 roundrectangle 4,20 60,48 4,4" "fill #73d216 stroke #4e9a06 rectangle 46,36 54,42" "stroke #888a85 line 10,30 40,30"
draw 137 "fill #3465a4 stroke #204a87 polygon 8,18 56,18 32,50"
draw 138 "fill #3465a4 stroke #204a87 polygon 8,46 56,46 32,14"
draw 139 "${monA[@]}" "${monB[@]}" "${monC[@]}"
draw 140 "${mon0[@]}"
draw 141 "${openfolder[@]}"
draw 142 "${doc[@]}" "fill #ffffff stroke #204a87 rectangle 30,36 58,62" "stroke #204a87 stroke-width 4 line 36,56 52,42" "fill #204a87 stroke #204a87 polygon 44,40 54,40 54,50"
draw 143 "fill none stroke #888a85 stroke-width 5 circle 32,32 32,8" "stroke #888a85 stroke-width 5 line 15,49 49,15"
draw 144 "$(clock '#8ae234' | sed -n 1p)" "$(clock x | sed -n 2p)" "$(clock x | sed -n 3p)" "$(clock x | sed -n 4p)"
draw 145 "$(clock '#729fcf' | sed -n 1p)" "$(clock x | sed -n 2p)" "$(clock x | sed -n 3p)" "$(clock x | sed -n 4p)" "fill #fce94f stroke #c4a000 circle 50,50 50,42"
draw 146 "$(clock '#fcaf3e' | sed -n 1p)" "$(clock x | sed -n 2p)" "$(clock x | sed -n 3p)" "$(clock x | sed -n 4p)"
draw 147 "${openfolder[@]}" "fill #3465a4 stroke #204a87 circle 52,14 52,6"
draw 153 "${folder[@]}" "fill #eeeeec stroke #2e3436 circle 36,38 36,28" "fill #babdb6 stroke #2e3436 polygon 42,46 46,42 58,54 54,58"
draw 154 "${printer[@]}"
draw 158 "${lens[@]}"
draw 159 "fill #ef2929 stroke #a40000 polygon 22,4 42,4 60,22 60,42 42,60 22,60 4,42 4,22" "fill #ffffff stroke #ffffff rectangle 18,28 46,36"
draw 160 "fill #3465a4 stroke #204a87 rectangle 14,8 26,56" "fill #3465a4 stroke #204a87 rectangle 38,8 50,56"
draw 161 "fill #73d216 stroke #4e9a06 polygon 14,6 58,32 14,58"

mkdir -p icons/32 bitmaps
for f in "$work"/*.png; do
  n=$(basename "$f")
  convert "$f" -filter Lanczos -resize 32x32 -strip "icons/32/$n"
  convert "$f" -filter Lanczos -resize 16x16 -strip "icons/$n"
done

# Toolbar bitmap 128: new search, save, map drive, print, large icons, small icons,
# list, details, font, help, about.
draw tb0 "${doc[@]}" "fill #fce94f stroke #c4a000 polygon 48,2 52,12 62,12 54,18 57,28 48,22 39,28 42,18 34,12 44,12"
draw tb1 "fill #3465a4 stroke #204a87 roundrectangle 6,6 58,58 4,4" "fill #ffffff stroke #204a87 rectangle 16,6 48,28" "fill #babdb6 stroke #2e3436 rectangle 18,40 46,58"
draw tb2 "fill #d3d7cf stroke #2e3436 roundrectangle 4,8 60,34 4,4" "fill #73d216 stroke #4e9a06 rectangle 46,20 54,26" "stroke #2e3436 stroke-width 4 line 32,34 32,50" "stroke #2e3436 stroke-width 4 line 8,50 56,50"
draw tb3 "${printer[@]}"
draw tb4 "fill #729fcf stroke #204a87 rectangle 4,4 28,28" "fill #729fcf stroke #204a87 rectangle 36,4 60,28" "fill #729fcf stroke #204a87 rectangle 4,36 28,60" "fill #729fcf stroke #204a87 rectangle 36,36 60,60"
draw tb5 "fill #729fcf stroke #204a87 rectangle 4,6 16,18" "stroke #2e3436 line 22,12 34,12" "fill #729fcf stroke #204a87 rectangle 4,38 16,50" "stroke #2e3436 line 22,44 34,44" "fill #729fcf stroke #204a87 rectangle 38,6 50,18" "fill #729fcf stroke #204a87 rectangle 38,38 50,50"
draw tb6 "fill #729fcf stroke #204a87 rectangle 4,6 14,16" "stroke #2e3436 line 20,11 58,11" "fill #729fcf stroke #204a87 rectangle 4,27 14,37" "stroke #2e3436 line 20,32 58,32" "fill #729fcf stroke #204a87 rectangle 4,48 14,58" "stroke #2e3436 line 20,53 58,53"
draw tb7 "fill #ffffff stroke #2e3436 rectangle 4,6 60,58" "fill #d3d7cf stroke #2e3436 rectangle 4,6 60,18" "stroke #2e3436 line 24,6 24,58" "stroke #2e3436 line 44,6 44,58" "stroke #888a85 line 4,32 60,32" "stroke #888a85 line 4,45 60,45"
draw tb8 "fill #2e3436 stroke #2e3436 polygon 8,58 28,6 36,6 56,58 46,58 41,44 23,44 18,58" "fill #ffffff stroke #ffffff polygon 26,36 38,36 32,18"
draw tb9 "fill #3465a4 stroke #204a87 circle 32,32 32,4" "fill none stroke #ffffff stroke-width 7 arc 20,12 44,36 180,60" "stroke #ffffff stroke-width 7 line 32,34 32,42" "fill #ffffff stroke #ffffff circle 32,51 32,47"
draw tb10 "fill #3465a4 stroke #204a87 circle 32,32 32,4" "fill #ffffff stroke #ffffff circle 32,16 32,11" "fill #ffffff stroke #ffffff rectangle 28,26 36,52"
for i in $(seq 0 10); do
  convert "$work/tb$i.png" -filter Lanczos -resize 20x20 "$work/s$i.png"
done
convert $(for i in $(seq 0 10); do echo "$work/s$i.png"; done) +append -strip bitmaps/128.png
