#!/usr/bin/env bash
# How close brindleforge-cli's --resize comes to ImageMagick's Lanczos
# resize of the same test chart, and the README's picture of a resize
# beside nearest neighbour.
#
#   bench/resize_quality.sh
#
# The chart (600 x 400: a colour gradient, a checkerboard, thin lines and
# circles on a fully transparent green background, and text on an alpha
# ramp) is drawn by ImageMagick, which is needed only here (apt-get install
# imagemagick); no test uses it. The reference is "convert -filter Lanczos
# -resize WxH!": ImageMagick weights each colour by its alpha while it
# resamples, which is resampling in premultiplied alpha. The tool's pixels
# are read from the --preview of a v9 ARGB8888 .bin, which holds them
# unchanged. Errors are in 8-bit levels (0 to 255), over every channel of
# the premultiplied colour (the image over black) and of alpha: the mean
# absolute error and the largest. Nearest neighbour (convert -sample) is
# measured against the same reference, for scale.
#
# The programs come from BUILD_DIR (default build); the picture is written
# to docs/transforms.png. CHART=path keeps a copy of the chart.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
for tool in convert compare; do
    if ! command -v $tool >/dev/null; then
        echo "resize_quality.sh: ImageMagick's $tool is needed (apt-get install imagemagick)" >&2
        exit 1
    fi
done
cmake --build "$build" --target brindleforge-cli bench_sidebyside >/dev/null
cli=$(find "$build" -type f -name brindleforge-cli -perm -u+x | head -n 1)
sidebyside=$(find "$build" -type f -name bench_sidebyside -perm -u+x | head -n 1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

font=/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf
convert -size 600x400 xc:'rgba(0,255,0,0)' \
    \( -size 300x200 gradient:'#ff2000-#0030ff' \) -geometry +0+0 -composite \
    \( -size 300x200 pattern:checkerboard \) -geometry +300+0 -composite \
    \( -size 300x200 xc:'rgba(0,255,0,0)' -fill none -stroke black -strokewidth 1 \
        -draw 'circle 150,100 150,10' -draw 'circle 150,100 150,40' \
        -draw 'circle 150,100 150,70' -draw 'line 0,0 299,199' -draw 'line 0,199 299,0' \) \
        -geometry +0+200 -composite \
    \( -size 200x300 gradient:'rgba(255,128,0,1)-rgba(255,128,0,0)' -rotate 90 \
        -font "$font" -pointsize 40 -fill 'rgba(255,255,255,1)' -stroke none \
        -annotate +20+115 'LVGL 480' \) -geometry +300+200 -composite \
    "$work/chart.png"
# CHART=path keeps a copy of the chart.
if [[ -n ${CHART:-} ]]; then cp "$work/chart.png" "$CHART"; fi

# The mean and the largest error of a against b, in levels, over the
# premultiplied colour and alpha.
errors() {
    local a=$1 b=$2
    convert "$a" -background black -alpha remove -alpha off "$work/a_pm.png"
    convert "$b" -background black -alpha remove -alpha off "$work/b_pm.png"
    convert "$a" -alpha extract "$work/a_alpha.png"
    convert "$b" -alpha extract "$work/b_alpha.png"
    local mc ma pc pa
    mc=$(compare -metric MAE "$work/a_pm.png" "$work/b_pm.png" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/' || true)
    ma=$(compare -metric MAE "$work/a_alpha.png" "$work/b_alpha.png" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/' || true)
    pc=$(compare -metric PAE "$work/a_pm.png" "$work/b_pm.png" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/' || true)
    pa=$(compare -metric PAE "$work/a_alpha.png" "$work/b_alpha.png" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/' || true)
    # Three colour channels and one alpha channel weigh in the mean.
    awk -v mc="$mc" -v ma="$ma" -v pc="$pc" -v pa="$pa" 'BEGIN {
        printf "%.2f / %.0f", (3 * mc + ma) / 4 * 255, (pc > pa ? pc : pa) * 255 }'
}

echo "| Size | brindleforge-cli: mean / max error | nearest neighbour: mean / max error |"
echo "|---|---|---|"
for size in 300x200 150x100 240x160 97x61; do
    "$cli" -q --lvgl 9 -f bin --cf ARGB8888 --resize "$size" -o "$work/ours.bin" \
        --preview "$work/ours.png" "$work/chart.png"
    convert "$work/chart.png" -filter Lanczos -resize "$size!" "$work/lanczos.png"
    convert "$work/chart.png" -sample "$size!" "$work/nearest.png"
    echo "| 600 x 400 to ${size/x/ x } | $(errors "$work/ours.png" "$work/lanczos.png") | $(errors "$work/nearest.png" "$work/lanczos.png") |"
done

# The picture: the window's about icon, 128 x 128, reduced to 40 x 40.
"$cli" -q --lvgl 9 -f bin --cf ARGB8888 --resize 40x40 -o "$work/icon.bin" \
    --preview "$work/icon.png" "$root/resources/image/about.png"
"$sidebyside" "$root/resources/image/about.png" "$work/icon.png" "$root/docs/transforms.png" 5
echo "docs/transforms.png: the tool's 40 x 40 (left) and nearest neighbour (right), 5 times enlarged"
