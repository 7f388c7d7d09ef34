#!/usr/bin/env bash
# Builds one of the engine's libFuzzer targets with clang, AddressSanitizer
# and UndefinedBehaviorSanitizer, and runs it for a bounded time.
#
#   scripts/fuzz.sh [SECONDS] [-- LIBFUZZER OPTIONS...]
#
# FUZZ_TARGET chooses the target: convert (the default; images through
# every writer), decode (bytes through the image decoder, as .bin and as
# C, and through the PNG and JPEG decoders), source (bytes through the
# source decoders by kind, seeded with WebP and GIF files) or svg (bytes
# read as a source file, SVG above all) or config (asset packs and lv_conf.h
# files, a project's own inputs). SECONDS defaults to 600. The build goes to build-fuzz/ beside this
# script's folder (BUILD_DIR overrides it); the corpus grows in
# BUILD_DIR/fuzz-corpus (fuzz-corpus-decode) between runs, seeded by
# fuzz_seeds (fuzz_decode_seeds), and inputs that break a check or crash
# are saved as BUILD_DIR/fuzz-artifacts(-decode)/crash-*.
# JOBS (default 1) runs that many fuzzing processes side by side.
# Exit status: 0 when the time ran out without a failure, 1 otherwise.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-fuzz}
seconds=600
if [[ $# -gt 0 && $1 != -- ]]; then
    seconds=$1
    shift
fi
if [[ $# -gt 0 && $1 == -- ]]; then
    shift
fi
if ! [[ $seconds =~ ^[0-9]+$ ]] || [[ $seconds -eq 0 ]]; then
    echo "usage: scripts/fuzz.sh [SECONDS] [-- LIBFUZZER OPTIONS...]" >&2
    exit 2
fi
jobs=${JOBS:-1}
case ${FUZZ_TARGET:-convert} in
convert)
    fuzzer=fuzz_convert seeder=fuzz_seeds suffix=
    ;;
decode)
    fuzzer=fuzz_decode seeder=fuzz_decode_seeds suffix=-decode
    ;;
source)
    fuzzer=fuzz_source seeder=fuzz_decode_seeds seeder_args=--sources suffix=-source
    ;;
svg)
    # Seeded from the files of tests/fuzz/svg-seeds.
    fuzzer=fuzz_svg seeder= seeds=svg-seeds suffix=-svg
    ;;
config)
    # Asset packs and lv_conf.h, seeded from the files of tests/fuzz/config-seeds.
    fuzzer=fuzz_config seeder= seeds=config-seeds suffix=-config
    ;;
*)
    echo "FUZZ_TARGET is convert, decode, source, svg or config, not '$FUZZ_TARGET'" >&2
    exit 2
    ;;
esac
if ! command -v clang++ >/dev/null; then
    echo "fuzz.sh needs clang (apt-get install clang)" >&2
    exit 2
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLEFORGE_FUZZ=ON >/dev/null
cmake --build "$build" --target "$fuzzer" ${seeder:+"$seeder"} -j "$(nproc)"

corpus=$build/fuzz-corpus$suffix
artifacts=$build/fuzz-artifacts$suffix
mkdir -p "$corpus" "$artifacts"
if [[ -z $(ls -A "$corpus") ]]; then
    if [[ -n $seeder ]]; then
        "$build/tests/fuzz/$seeder" ${seeder_args:-} "$corpus"
    else
        cp "$root/tests/fuzz/$seeds/"* "$corpus/"
    fi
fi

# Qt itself is not instrumented; report UB and leaks in our code, stop at
# the first finding.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
log=$build/fuzz$suffix-last.log
stamp=$build/fuzz-start.stamp
touch "$stamp"
echo "fuzzing for ${seconds}s with $jobs job(s); corpus $corpus; log $log"
start=$(date +%s)
status=0
if [[ $jobs -gt 1 ]]; then
    # Each job writes fuzz-N.log in the working folder; the parent copies
    # every job's log into its own output when the job ends.
    (cd "$build" && "$build/tests/fuzz/$fuzzer" -max_total_time="$seconds" \
        -jobs="$jobs" -workers="$jobs" -artifact_prefix="$artifacts/" -print_final_stats=1 \
        "$@" "$corpus") >"$log" 2>&1 || status=$?
else
    "$build/tests/fuzz/$fuzzer" -max_total_time="$seconds" -artifact_prefix="$artifacts/" \
        -print_final_stats=1 "$@" "$corpus" >"$log" 2>&1 || status=$?
fi
end=$(date +%s)

echo "--- last lines of $log"
tail -n 25 "$log"
echo "---"
executions=$(awk '/^stat::number_of_executed_units:/ { n += $2 } END { print n + 0 }' "$log")
coverage=$(grep -o 'cov: [0-9]*' "$log" | awk '$2 > max { max = $2 } END { print max + 0 }')
features=$(grep -o 'ft: [0-9]*' "$log" | awk '$2 > max { max = $2 } END { print max + 0 }')
echo "ran $((end - start))s: $executions executions, coverage $coverage edges," \
    "$features features; corpus: $(ls "$corpus" | wc -l) inputs"
found=$(find "$artifacts" -type f -newer "$stamp")
if [[ $status -ne 0 || -n $found ]]; then
    echo "FAILED (exit status $status); inputs that reproduce it:"
    echo "${found:-none saved}"
    echo "replay one with: $build/tests/fuzz/$fuzzer FILE"
    exit 1
fi
echo "no failures"
