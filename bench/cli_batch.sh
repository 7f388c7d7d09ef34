#!/usr/bin/env bash
# Times brindleforge-cli on two batches, with one and with two jobs:
#   icons   200 PNG files of 48 x 48
#   photos  10 PNG files of 2000 x 2000
# each converted to a "True color with alpha" C array and to Binary RGB565.
#
#   bench/cli_batch.sh [REPETITIONS]
#
# REPETITIONS (default 5) runs of every case; the table shows the fastest
# and the median wall time and the -j1/-j2 ratio of the medians. The
# programs come from BUILD_DIR (default build-bench, a Release build with
# the benchmarks on); the images are made once by bench_makeimages and kept
# in BUILD_DIR/cli-batch-images. Outputs go to a temporary folder that is
# removed at the end.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
repetitions=${1:-5}
if ! [[ $repetitions =~ ^[0-9]+$ ]] || [[ $repetitions -eq 0 ]]; then
    echo "usage: bench/cli_batch.sh [REPETITIONS]" >&2
    exit 2
fi

cmake --build "$build" --target brindleforge-cli bench_makeimages >/dev/null
cli=$(find "$build" -type f -name brindleforge-cli -perm -u+x | head -n 1)
makeimages=$build/bench/bench_makeimages
if [[ -z $cli ]]; then
    echo "brindleforge-cli not found under $build" >&2
    exit 1
fi

images=$build/cli-batch-images
if [[ ! -f $images/icons/icon_0199.png ]]; then
    "$makeimages" "$images/icons" 200 48 icon
fi
if [[ ! -f $images/photos/photo_0009.png ]]; then
    "$makeimages" "$images/photos" 10 2000 photo
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

now_ns() { date +%s%N; }

# Writes "min median" in seconds of $repetitions runs of the CLI to
# $out/times. Called as a plain command, so a failing run stops the script.
time_case() {
    local times=() start end
    for ((i = 0; i < repetitions; i++)); do
        rm -rf "$out/result"
        start=$(now_ns)
        "$cli" -q "$@" -o "$out/result"
        end=$(now_ns)
        times+=($((end - start)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '
        { t[NR] = $1 }
        END {
            median = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
            printf "%.3f %.3f\n", t[1] / 1e9, median / 1e9
        }' >"$out/times"
}

# Checks that a run wrote one output per input, so a failing CLI cannot
# pass for a fast one.
check_outputs() {
    local expected=$1 extension=$2 count
    count=$(find "$out/result" -maxdepth 1 -name "*.$extension" | wc -l)
    if [[ $count -ne $expected ]]; then
        echo "expected $expected .$extension outputs, found $count" >&2
        exit 1
    fi
}

echo "brindleforge-cli: $cli"
echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), $repetitions runs per case"
printf '\n%-13s %-22s %17s %17s %7s\n' batch output "-j1 min/median" "-j2 min/median" "j1/j2"
for batch in icons photos; do
    count=$(find "$images/$batch" -name '*.png' | wc -l)
    for output in "c true-color-alpha" "bin-rgb565 -"; do
        read -r format color <<<"$output"
        args=(-f "$format")
        label=$format
        extension=bin
        if [[ $color != - ]]; then
            args+=(-c "$color")
            label="$format $color"
            extension=c
        fi
        time_case "${args[@]}" -j 1 "$images/$batch"
        check_outputs "$count" "$extension"
        read -r min1 med1 <"$out/times"
        time_case "${args[@]}" -j 2 "$images/$batch"
        check_outputs "$count" "$extension"
        read -r min2 med2 <"$out/times"
        ratio=$(awk -v a="$med1" -v b="$med2" 'BEGIN { printf "%.2f", a / b }')
        printf '%-13s %-22s %8s/%-8s %8s/%-8s %6sx\n' "$batch ($count)" "$label" \
            "$min1" "$med1" "$min2" "$med2" "$ratio"
    done
done
echo
echo "times in seconds, wall clock, including process start and the flush of every file to the disk"

# Prints "min median" in seconds of the nanosecond times given.
stats() {
    printf '%s\n' "$@" | sort -n | awk '
        { t[NR] = $1 }
        END {
            m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
            printf "%.3f %.3f\n", t[1] / 1e9, m / 1e9
        }'
}

# What the flushes cost: the icons with one job, as the command line writes
# them (flushed to the disk in groups before their renames), against the
# same batch with every flush turned into a no-op by eatmydata. The two
# kinds of run alternate, so that a change in the machine's load hits both.
if command -v eatmydata >/dev/null; then
    echo
    printf '%-13s %-22s %17s %17s %7s\n' batch output "flushed min/med" "no flush min/med" ratio
    count=$(find "$images/icons" -name '*.png' | wc -l)
    for output in "c true-color-alpha" "bin-rgb565 -"; do
        read -r format color <<<"$output"
        args=(-q -f "$format" -j 1)
        label=$format
        if [[ $color != - ]]; then
            args+=(-c "$color")
            label="$format $color"
        fi
        flushed=()
        unflushed=()
        for ((i = 0; i < repetitions * 2; i++)); do
            for mode in flushed unflushed; do
                rm -rf "$out/result"
                prefix=()
                [[ $mode == unflushed ]] && prefix=(eatmydata)
                start=$(now_ns)
                "${prefix[@]}" "$cli" "${args[@]}" -o "$out/result" "$images/icons"
                end=$(now_ns)
                if [[ $mode == flushed ]]; then flushed+=($((end - start))); else unflushed+=($((end - start))); fi
            done
        done
        read -r fmin fmed <<<"$(stats "${flushed[@]}")"
        read -r umin umed <<<"$(stats "${unflushed[@]}")"
        ratio=$(awk -v a="$fmed" -v b="$umed" 'BEGIN { printf "%.2f", a / b }')
        printf '%-13s %-22s %8s/%-8s %8s/%-8s %6sx\n' "icons ($count)" "$label" "$fmin" "$fmed" \
            "$umin" "$umed" "$ratio"
    done
    echo "(-j1; ${repetitions}x2 alternating runs each; no flush = the same command under eatmydata)"
else
    echo
    echo "eatmydata not found (apt-get install eatmydata): the flush cost is not measured"
fi

# What --dither costs in a whole conversion of one 2000 x 2000 photo (decode,
# encode, write, flush), with and without it in alternating runs.
echo
printf '%-40s %17s %17s %7s\n' "one photo, output" "plain min/med" "dither min/med" ratio
photo=$images/photos/photo_0000.png
for output in "-c TRUE_COLOR -f c" "-c TRUE_COLOR -f bin --depth 16" \
    "-c TRUE_COLOR_ALPHA -f bin --depth 16" "-c ALPHA_1BIT -f bin" \
    "--lvgl 9 --cf RGB565 -f bin" "--lvgl 9 --cf A2 -f bin"; do
    read -r -a args <<<"$output"
    plain=()
    dithered=()
    for ((i = 0; i < repetitions * 2; i++)); do
        for mode in plain dithered; do
            extra=()
            [[ $mode == dithered ]] && extra=(--dither)
            start=$(now_ns)
            "$cli" -q "${args[@]}" "${extra[@]}" -o "$out/photo.out" "$photo"
            end=$(now_ns)
            if [[ $mode == plain ]]; then plain+=($((end - start))); else dithered+=($((end - start))); fi
        done
    done
    read -r pmin pmed <<<"$(stats "${plain[@]}")"
    read -r dmin dmed <<<"$(stats "${dithered[@]}")"
    ratio=$(awk -v a="$dmed" -v b="$pmed" 'BEGIN { printf "%.2f", a / b }')
    printf '%-40s %8s/%-8s %8s/%-8s %6sx\n' "$output" "$pmin" "$pmed" "$dmin" "$dmed" "$ratio"
done
echo "(${repetitions}x2 alternating runs each; seconds, wall clock)"
