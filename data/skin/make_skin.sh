#!/usr/bin/env bash
# Writes the sample skin into this folder: vexa.INI, its pictures and readme.rtf.
# Needs ImageMagick (convert) and iconv. The outputs are committed; run this again after
# changing it.
set -euo pipefail
cd "$(dirname "$0")"

# Background of the main window: a dark blue gradient with a lighter band at the top.
convert -size 1024x768 gradient:'#0b1e3c'-'#02060f' \
  -fill '#163a6e' -draw 'rectangle 0,0 1023,58' \
  -fill '#2f6fbf' -draw 'rectangle 0,58 1023,60' -quality 90 back.jpg
# Picture of the "not found" panel.
convert -size 160x60 xc:'#02060f' -fill '#ee4030' -draw 'circle 30,30 30,8' \
  -fill '#02060f' -draw 'rectangle 16,26 44,34' -fill '#c0c8d8' -draw 'rectangle 60,24 150,36' notfound.gif
# Page and sort buttons (any picture type), tree tile and back glyphs (Windows bitmaps).
convert -size 24x24 xc:'#163a6e' -fill '#eec800' -draw 'polygon 16,4 6,12 16,20' -draw 'rectangle 4,4 6,20' BMP3:home.bmp
convert -size 24x24 xc:'#163a6e' -fill '#eec800' -draw 'polygon 8,4 18,12 8,20' -draw 'rectangle 18,4 20,20' BMP3:end.bmp
convert -size 12x12 xc:white -fill '#eec800' -draw 'polygon 1,3 11,3 6,9' sortdn.gif
convert -size 12x12 xc:white -fill '#eec800' -draw 'polygon 1,9 11,9 6,3' sortup.gif
convert -size 32x32 xc:'#0d2547' -fill '#10305a' -draw 'rectangle 0,0 15,15' -draw 'rectangle 16,16 31,31' BMP3:treeback.bmp
convert -size 90x28 xc:'#2f6fbf' -fill white -draw 'polygon 10,14 22,6 22,22' -draw 'rectangle 22,12 80,16' BMP3:back1.bmp
convert -size 90x28 xc:'#2f6fbf' -fill white -draw 'polygon 10,14 22,6 22,22' -draw 'rectangle 22,12 80,16' BMP3:back2.bmp
convert -size 320x240 gradient:'#163a6e'-'#02060f' -colors 64 -type Palette BMP3:detail.bmp

# The skin file: every key, with colours in each of the forms the reader accepts.
cat > vexa.INI.utf8 <<'INI'
; Sample skin of the catalogue
[IMAGES]
BackImage=.\back.jpg
NotFound=.\notfound.gif
BtnHome=home.bmp
BtnEnd=end.bmp
BtnSortDn=sortdn.gif
BtnSortUp=sortup.gif
TreeBackImage=treeback.bmp
BtnBack1=back1.bmp
BtnBack2=back2.bmp
BackDetail=detail.bmp

[Color]
MainBackColor=RGB(11, 30, 60)
Header1=$00C8EE
Header2=0x0080FF
TreeBackColor=rgb(13,37,71)

[FONT]
MainFontName=DejaVu Sans
MainFontSize=9
MainFontColor=16777215
Title1FontColor=$00FFFFFF
Title2FontColor=RGB(0,255,0)
TreeFontName="DejaVu Sans"
TreeFontSize=11
TreeFontColor=RGB(220,230,255)
DescFontName=Liberation Serif
DescFontSize=11
ListFontName=Liberation Sans
ListFontSize=11
ListFontColor=$00FFFFFF
INI
iconv -f UTF-8 -t CP1251 vexa.INI.utf8 | sed 's/$/\r/' > vexa.INI
rm vexa.INI.utf8

# The help text: Cyrillic as cp1251 escapes and as \u, formatting, a table and a
# picture (which the help view skips).
python3 - <<'PY'
def esc(text):
    out = []
    for ch in text:
        b = ch.encode("cp1251")
        out.append(ch if b[0] < 0x80 else "\\'%02x" % b[0])
    return "".join(out)

def uni(text):
    return "".join(ch if ord(ch) < 0x80 else "\\u%d?" % ord(ch) for ch in text)

rtf = r"{\rtf1\ansi\ansicpg1251\deff0{\fonttbl{\f0\fswiss\fcharset204 Liberation Sans;}{\f1\froman\fcharset204 Liberation Serif;}}"
rtf += r"{\colortbl;\red238\green200\blue0;\red255\green255\blue255;\red0\green255\blue0;}"
rtf += r"{\*\generator make_skin.sh;}{\info{\title " + esc("Справка") + "}}"
rtf += r"\pard\qc\f0\fs36\cf1\b " + esc("Каталог мобильного контента") + r"\b0\par"
rtf += r"\pard\fs24\cf2 " + esc("Выберите модель телефона в списке и нажмите ") + r"{\b Enter}" + esc(". Дерево покажет только подходящие игры, картинки и мелодии.") + r"\par"
rtf += r"\cf3 " + uni("Поиск: выберите оператора, контент-провайдера, категорию и жанр, введите фразу и нажмите «Найти».") + r"\cf2\par"
rtf += r"{\pict\pngblip\picw16\pich16 89504e470d0a1a0a0000000d49484452}"
rtf += r"\par{\i " + esc("Клавиши:") + r"}\line Esc\tab " + esc("назад") + r"\line Home / End\tab " + esc("первая и последняя страница") + r"\par"
rtf += r"\trowd\cellx3000\cellx6000\intbl " + esc("Раздел") + r"\cell " + esc("Что в нём") + r"\cell\row"
rtf += r"\trowd\cellx3000\cellx6000\intbl " + esc("Игры") + r"\cell Java\cell\row"
rtf += r"\pard\f1\ul " + esc("Код заказа показывается для выбранной модели.") + r"\ulnone\par}"
open("readme.rtf", "w", encoding="ascii").write(rtf)
PY
echo "sample skin written to $(pwd)"
