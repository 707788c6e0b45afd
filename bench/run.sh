#!/bin/sh
# Builds the benchmark, generates its inputs once, and runs every workload
# with every available tool, then the PNG deflate comparison.
#
#   bench/run.sh [--rounds N] [--workloads W1,W2,...]
#
# Environment: BENCH_BUILD_DIR (default build-bench), BENCH_ROUNDS (15).
# The report is printed and written to $BENCH_BUILD_DIR/bench-results.md.
# ImageMagick, libvips (vips, vipsthumbnail) and Pillow are measured when
# installed (Debian: imagemagick libvips-tools python3-pil).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BENCH_BUILD_DIR:-$root/build-bench}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DIMGRESIZE_BUILD_BENCH=ON \
      -DIMGRESIZE_BUILD_TESTS=OFF -DIMGRESIZE_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$build" -j2 --target imgresize_bench imgresize_measure >/dev/null

bench=$build/bench/imgresize_bench
data=$build/bench-data
if [ ! -f "$data/complete" ]; then
    echo "bench: generating inputs in $data" >&2
    "$bench" gen "$data"
    : > "$data/complete"
fi

python=python3
command -v python3 >/dev/null 2>&1 || python=/usr/bin/python3
report=$build/bench-results.md
"$python" "$here/run.py" --bench "$bench" --measure "$build/bench/imgresize_measure" \
    --data "$data" --out "$build/bench-out" --markdown "$report" "$@"

{
    echo
    echo "### PNG deflate: stb_image_write's own against zlib (same pixels, same row filters)"
    echo
    "$bench" png-sweep "$data" "${BENCH_ROUNDS:-15}"
} | tee -a "$report"
