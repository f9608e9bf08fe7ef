#!/bin/sh
# Draws the demo's photo (a JPEG) and fax scan (a single-strip Group 4 TIFF) with Debian's imagemagick,
# libjpeg-turbo-progs and libtiff-tools. The files are committed, so the demo itself needs none of these.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
im=convert-im6.q16
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

# Hills at dusk, with grain and a little blur, so that it compresses like a photograph.
$im -size 480x320 gradient:'#27408b-#ffb070' \
    -fill '#fff1b8' -draw 'circle 340,190 340,160' \
    -fill '#3b5d33' -draw 'polygon 0,320 0,232 70,212 150,244 236,198 330,238 418,214 480,236 480,320' \
    -fill '#24401f' -draw 'polygon 0,320 0,280 120,262 260,290 380,266 480,284 480,320' \
    -seed 7 -attenuate 0.5 +noise Gaussian -blur 0x0.7 "$tmp/photo.ppm"
cjpeg -quality 80 -optimize "$tmp/photo.ppm" > photo.jpg

# A page of a fax as a 200 dpi scanner gives it: black and white, slightly askew.
$im -size 1000x640 xc:white -font "$font" -fill black \
    -pointsize 44 -draw "text 60,90 'FAX'" \
    -pointsize 24 -draw "text 60,150 'To: Accounts payable        From: Pagelith Example Ltd'" \
    -draw "text 60,190 'Re: invoice 1042, paid in full on 3 March.'" \
    -draw "text 60,230 'Pages: 1 of 1'" \
    -stroke black -strokewidth 3 -draw 'line 60,260 940,260' -strokewidth 4 -fill none \
    -draw 'bezier 120,520 170,400 230,600 300,470 360,380 400,560 470,500' \
    -stroke none -fill black -pointsize 20 -draw "text 120,580 'Signed: J. Example'" \
    -background white -rotate 0.6 -threshold 50% -monochrome -depth 1 -compress none "$tmp/scan.tif"
rows=$(tiffinfo "$tmp/scan.tif" | sed -n 's/.*Image Width: [0-9]* Image Length: \([0-9]*\).*/\1/p')
tiffcp -c g4 -r "$rows" "$tmp/scan.tif" scan.tif
