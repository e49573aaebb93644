#!/usr/bin/env bash
# Restore benchmark: "vlctl restore" of a whole backup against "tar xzf" of the same files
# in the same run, on the mix corpus of the backup benchmark (about 400 MB in 14,740 files;
# goal: vlctl <= 1.0 x tar xzf), with peak memory at full and at a tenth of the scale, and
# the time to open a folder of 10,000 copies in the catalogue (goal: under one second).
# Every restored file is compared with the corpus. How it measures is described at the top
# of bench/restore_bench.py.
#
# Usage: bench/run-restore-bench.sh [--scale X] [--runs N] [--work DIR] [--vlctl PATH]
#   --scale 0.1   a tenth of the corpus, for a quick look
#   --work DIR    keep the corpus in DIR and reuse it on the next run
#   --vlctl PATH  measure that vlctl instead of building one
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

vlctl=
for argument in "$@"; do
    case $argument in
    --vlctl | --vlctl=*) vlctl=given ;;
    esac
done

need=()
command -v python3 >/dev/null || need+=(python3)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi
if [ -z "$vlctl" ]; then
    build_dir=${VL_BENCH_BUILD_DIR:-build-restore-bench}
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DVL_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build_dir" -j 2 --target vlctl >/dev/null
    set -- --vlctl "$repo/$build_dir/bin/vlctl" "$@"
fi
exec python3 "$repo/bench/restore_bench.py" "$@"
