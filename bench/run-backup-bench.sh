#!/usr/bin/env bash
# Full-backup benchmark: "vlctl backup" (Release build) against "zip -r -6", "tar czf",
# "gzip -6" (the one big file) and "cp -r" in the same run, on three generated corpora:
#   mix    about 400 MB in 14,740 files of text, program files and incompressible data
#          in a folder tree of realistic depth (goal: vlctl <= 0.6 x zip -r -6);
#   small  100,000 text files of 1-4 KB, 1,000 per folder (goal: <= 1.0 x zip -r -6);
#   big    one 1,000 MB file of text, program and random chunks (goal: <= 0.6 x gzip -6).
# Prints per corpus seconds (best of 3), MB/s, output size, ratios to zip (and gzip), and
# vlctl's peak memory for the corpus and for a tenth of it; checks that every copy reads
# back to its source (exit 1 when one does not). How the corpora are made and measured is
# described at the top of bench/backup_bench.py.
#
# Usage: bench/run-backup-bench.sh [mix] [small] [big] [--scale X] [--runs N] [--profile]
#                                  [--work DIR] [--vlctl PATH]
#   --scale 0.1   a tenth of every corpus, for a quick look
#   --profile     also one vlctl run under "strace -c -f" and one under "perf record"
#   --work DIR    keep the corpora in DIR and reuse them on the next run
#   --vlctl PATH  measure that vlctl instead of building one
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

profile=false
vlctl=
for argument in "$@"; do
    case $argument in
    --profile) profile=true ;;
    --vlctl | --vlctl=*) vlctl=given ;;
    esac
done

install_needs() {
    local need=()
    command -v python3 >/dev/null || need+=(python3)
    command -v zip >/dev/null || need+=(zip)
    [ -x /usr/bin/time ] || need+=(time)
    if $profile; then
        command -v strace >/dev/null || need+=(strace)
        command -v perf >/dev/null || need+=(linux-perf)
    fi
    [ ${#need[@]} -gt 0 ] || return 0
    apt-get update -qq
    local available=()
    for package in "${need[@]}"; do
        if apt-cache show "$package" >/dev/null 2>&1; then
            available+=("$package")
        else
            echo "($package cannot be installed here; going on without it)" >&2
        fi
    done
    [ ${#available[@]} -eq 0 ] ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${available[@]}" >/dev/null
}

install_needs
if [ -z "$vlctl" ]; then
    build_dir=${VL_BENCH_BUILD_DIR:-build-backup-bench}
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DVL_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build_dir" -j 2 --target vlctl >/dev/null
    set -- --vlctl "$repo/$build_dir/bin/vlctl" "$@"
fi
exec python3 "$repo/bench/backup_bench.py" "$@"
