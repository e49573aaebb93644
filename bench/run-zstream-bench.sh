#!/usr/bin/env bash
# Builds the archive stream benchmark in a Release build and runs it.
# Usage: bench/run-zstream-bench.sh [corpus-megabytes] [passes]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VL_BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DVL_BUILD_TESTS=OFF \
    -DVL_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target zstream_bench
"$build_dir/bin/zstream_bench" "$@"
