#!/usr/bin/env bash
# Times brindleforge-cli on 200 SVG icons of 24 x 24 (paths, strokes, a
# gradient, a clip path and a group opacity each, all different), converted
# to 48 x 48 ALPHA_4BIT C arrays (--fit 48x48) with -j1 and -j2. Every icon
# is rendered at 48 x 48 by librsvg, in a process of its own.
#
#   bench/svg_icons.sh [REPETITIONS]
#
# REPETITIONS (default 5) runs of each case; the table shows the fastest and
# the median wall time. The program comes from BUILD_DIR (default
# build-bench); the icons and the outputs go to a temporary folder that is
# removed at the end.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
repetitions=${1:-5}
if ! [[ $repetitions =~ ^[0-9]+$ ]] || [[ $repetitions -eq 0 ]]; then
    echo "usage: bench/svg_icons.sh [REPETITIONS]" >&2
    exit 2
fi

cmake --build "$build" --target brindleforge-cli >/dev/null
cli=$(find "$build" -type f -name brindleforge-cli -perm -u+x | head -n 1)
if [[ -z $cli ]]; then
    echo "brindleforge-cli not found under $build" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/icons"
for ((i = 0; i < 200; i++)); do
    r=$((8 + i % 13))
    a=$((i * 7 % 360))
    cat >"$work/icons/icon_$(printf %04d $i).svg" <<SVG
<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24">
  <defs>
    <linearGradient id="g" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="#fff"/><stop offset="1" stop-color="#000" stop-opacity="0.4"/>
    </linearGradient>
    <clipPath id="c"><circle cx="12" cy="12" r="$((r / 2 + 4))"/></clipPath>
  </defs>
  <g clip-path="url(#c)" opacity="0.9" transform="rotate($a 12 12)">
    <rect x="2" y="2" width="20" height="20" rx="4" fill="url(#g)"/>
    <path d="M4 12 L12 $((4 + i % 6)) L20 12 L12 20 Z" fill="none" stroke="#000"
          stroke-width="1.5" stroke-linejoin="round"/>
    <circle cx="12" cy="12" r="$((r / 4 + 1))" fill="#000"/>
  </g>
</svg>
SVG
done

now_ns() { date +%s%N; }

time_case() {
    local times=() start end
    for ((i = 0; i < repetitions; i++)); do
        rm -rf "$work/out"
        start=$(now_ns)
        "$cli" -q "$@" -o "$work/out" "$work/icons"
        end=$(now_ns)
        times+=($((end - start)))
    done
    [[ $(find "$work/out" -name '*.c' | wc -l) -eq 200 ]] || {
        echo "not every icon was converted" >&2
        exit 1
    }
    printf '%s\n' "${times[@]}" | sort -n | awk '
        { t[NR] = $1 }
        END {
            median = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
            printf "%.3f/%.3f", t[1] / 1e9, median / 1e9
        }'
}

echo "batch            output                  -j1 min/median    -j2 min/median"
printf 'svg icons (200)  c ALPHA_4BIT 48 x 48   %-17s %s\n' \
    "$(time_case -c ALPHA_4BIT --fit 48x48 -j1)" "$(time_case -c ALPHA_4BIT --fit 48x48 -j2)"
