#!/usr/bin/env bash
# Draws the splash picture (214 x 100 GIF) with ImageMagick. The progress line is drawn
# from x = 10 to x = 114 at y = 90, so the picture has a flat track there.
set -euo pipefail
out=${1:-src/app/splash.gif}
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
convert -size 214x100 gradient:'#1b2a4a'-'#3d5f9c' \
  -font "$font" -fill white -pointsize 30 -annotate +12+40 'Vexa' \
  -font "$font" -fill '#c8d8ff' -pointsize 11 -annotate +14+60 'каталог для телефонов' \
  -fill '#0e1626' -draw 'rectangle 8,87 116,93' \
  -fill '#55709f' -draw 'rectangle 9,88 115,92' \
  -fill '#ffcc33' -draw 'circle 180,30 180,14' \
  -fill '#1b2a4a' -draw 'circle 186,26 186,14' \
  -colors 64 "$out"
