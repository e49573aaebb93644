#!/usr/bin/env bash
# Builds the archive stream benchmark in a Release build and runs it: first a mixed corpus
# of many files, then one large file of mixed content (1 GiB unless VL_BENCH_LARGE_MB says
# otherwise; 0 leaves it out), each against gzip -6.
# Usage: bench/run-zstream-bench.sh [corpus-megabytes] [passes]
#        bench/run-zstream-bench.sh --large [megabytes] [passes]   (the large file alone)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -x /usr/bin/time ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq time >/dev/null
fi
build_dir=${VL_BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DVL_BUILD_TESTS=OFF \
    -DVL_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target zstream_bench
bench="$build_dir/bin/zstream_bench"
if [ "${1:-}" = "--large" ]; then
    exec "$bench" "$@"
fi
"$bench" "$@"
large_mb=${VL_BENCH_LARGE_MB:-1024}
if [ "$large_mb" -gt 0 ]; then
    echo
    "$bench" --large "$large_mb" "${2:-3}"
fi
