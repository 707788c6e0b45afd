#!/usr/bin/env bash
# Builds the libFuzzer program (preset "fuzz": Clang with ASan and UBSan) and
# fuzzes the library for SECONDS seconds, starting from the generated seeds.
#
#   fuzz/run-fuzzer.sh SECONDS [libFuzzer options...]
#
# Environment:
#   FUZZ_SEEDS  shell patterns choosing seed files by name (default: all), e.g.
#               'png-*' or 'tga-* bmp-*'; each choice grows its own corpus in
#               build-fuzz/corpus/NAME, kept from run to run.
#
# Extra options go to libFuzzer, e.g. -fork=1 -ignore_crashes=1 to carry on
# past findings (still one process at a time).
#
# A single block may reach 4 GiB before libFuzzer calls it out of memory:
# stb_image reserves up to 2 GiB (unwritten, from calloc) for a PNG whose
# chunk headers claim that much data, then fails on the missing bytes.
#
# One process on one core. Findings (crash-*, leak-*, timeout-*, oom-*) are
# written to build-fuzz/findings/; replay one with the ordinary build:
#   build/fuzz/fuzz_replay build-fuzz/findings/crash-...
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
    echo "usage: $0 SECONDS [libFuzzer options...]" >&2
    exit 2
fi
seconds=$1
shift

# The stb headers of an existing build save a download.
stb_option=()
for dir in build-fuzz/_deps/stb/include build/_deps/stb/include; do
    if [ -f "$dir/stb_image.h" ]; then
        stb_option=(-DSTB_INCLUDE_DIR="$PWD/$dir")
        break
    fi
done
cmake --preset fuzz "${stb_option[@]}" >/dev/null
cmake --build --preset fuzz

export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1:suppressions=$PWD/fuzz/ubsan.supp}

pattern=${FUZZ_SEEDS:-*}
all_seeds=build-fuzz/seeds
rm -rf "$all_seeds"
build-fuzz/fuzz/make_fuzz_corpus "$all_seeds" >/dev/null
subset=build-fuzz/seed-subset
rm -rf "$subset"
mkdir -p "$subset"
shopt -s nullglob
read -r -a patterns <<< "$pattern"
chosen=()
for one in "${patterns[@]}"; do
    chosen+=("$all_seeds"/$one)
done
if [ ${#chosen[@]} -eq 0 ]; then
    echo "no seed matches FUZZ_SEEDS='$pattern'" >&2
    exit 2
fi
cp "${chosen[@]}" "$subset"/
name=${pattern//\*/all}
name=${name//[^A-Za-z0-9_-]/_}
corpus=build-fuzz/corpus/${name:-all}
mkdir -p "$corpus" build-fuzz/findings
echo "fuzz: ${#chosen[@]} seeds ($pattern), corpus $corpus, $seconds s"
exec build-fuzz/fuzz/imgresize_fuzzer \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=4096 -max_len=8192 \
    -dict=fuzz/imgresize.dict -print_final_stats=1 \
    -artifact_prefix=build-fuzz/findings/ "$@" "$corpus" "$subset"
