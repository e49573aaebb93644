#!/usr/bin/env bash
# Start-up benchmark: how long vlctl takes for a command that does little, against gzip
# and an empty run of /bin/true, in the same run. Each round starts every program once,
# so a busy machine slows them all alike; the median and the ratio to gzip are the
# figures to compare between builds. For a vlctl linked dynamically it also prints how
# many shared objects it loads and how many symbol relocations the dynamic loader makes.
#
# Usage: bench/run-start-bench.sh [runs]        (VLCTL=path uses that vlctl instead)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
runs=${1:-500}

if [ -z "${VLCTL:-}" ]; then
    build_dir=${VL_BENCH_BUILD_DIR:-build-start-bench}
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DVL_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build_dir" -j "$(nproc)" --target vlctl >/dev/null
    VLCTL="$repo/$build_dir/bin/vlctl"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vlstart-XXXXXX")
trap 'rm -rf "$work"' EXIT
export VAULTAIRE_HOME="$work"

echo "vlctl: $VLCTL"
if LC_ALL=C readelf -l "$VLCTL" | grep -q "Requesting program interpreter"; then
    objects=$(LD_DEBUG=files "$VLCTL" version 2>&1 >/dev/null | grep -c "generating link map" || true)
    relocations=$(LD_DEBUG=statistics "$VLCTL" version 2>&1 >/dev/null |
        sed -n 's/.*final number of relocations: *//p' | tail -1)
    echo "shared objects loaded: $objects; symbol relocations: $relocations"
else
    echo "linked statically: no shared objects are loaded"
fi

python3 - "$runs" "$VLCTL help" "$VLCTL version" "gzip --version" "/bin/true" <<'PY'
import os, statistics, sys, time
runs, commands = int(sys.argv[1]), [c.split() for c in sys.argv[2:]]
null = os.open(os.devnull, os.O_WRONLY)
times = [[] for _ in commands]
for _ in range(runs):
    for i, command in enumerate(commands):
        start = time.perf_counter_ns()
        pid = os.posix_spawnp(command[0], command, os.environ,
                              file_actions=[(os.POSIX_SPAWN_DUP2, null, 1),
                                            (os.POSIX_SPAWN_DUP2, null, 2)])
        os.waitpid(pid, 0)
        times[i].append((time.perf_counter_ns() - start) / 1e6)
gzip = statistics.median(times[2])
print(f"{runs} runs each, milliseconds    mean  median    p10   median/gzip")
for command, t in zip(commands, times):
    t.sort()
    name = ' '.join([os.path.basename(command[0])] + command[1:])
    print(f"{name:<28} {statistics.mean(t):7.2f} {statistics.median(t):7.2f} "
          f"{t[len(t) // 10]:6.2f} {statistics.median(t) / gzip:8.2f}")
PY
