#!/usr/bin/env bash
# Automatic-backup benchmark: "vlctl watch" (Release build) in a sandbox, on a profile
# keeping one version. Prints
#   - the latency from a file's last write to its new .VL001 for single edits (40 edits,
#     2 to 3 s apart, of files that already have a copy): p50, p95 and maximum (goal: p95
#     <= 6.3 s, the floor being 5 s settle + 1 s wake + 0.25 s poll);
#   - the time until all of 10,000 files rewritten at once have new copies, against a full
#     "vlctl backup" of the same 10,000 files;
#   - the idle cost of watching 50,000 files in 5,000 folders: CPU with no changes over 60 s
#     from /proc/PID/stat (goal <= 0.1 % of one core), VmRSS and VmHWM, and the time from
#     start until "Vaultaire enabled." (every folder watched).
#
# Usage: bench/run-watch-bench.sh [edits] [idle-seconds]
set -euo pipefail
edits=${1:-40}
idle_seconds=${2:-60}
source "$(dirname "$0")/watch-lib.sh"
watch_install_needs
watch_build
watch_setup 1

# A corpus of count files in folders of per_folder, about 4 KB each, a third text, a third
# repetitive program-like bytes, a third incompressible: make_corpus FOLDER COUNT PER_FOLDER
make_corpus() {
    python3 - "$@" <<'PY'
import os, random, sys
root, count, per_folder = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
random.seed(1)
words = [''.join(random.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(random.randint(2, 10)))
         for _ in range(2000)]
for i in range(count):
    folder = os.path.join(root, 'dir%04d' % (i // per_folder))
    os.makedirs(folder, exist_ok=True)
    size = random.randint(1000, 7000)
    kind = i % 3
    if kind == 0:
        data = ' '.join(random.choice(words) for _ in range(size // 6)).encode()[:size]
    elif kind == 1:
        data = bytes(random.choice(b'\0\0\0\x01\x48\x89\xe5\xc3') for _ in range(size))
    else:
        data = os.urandom(size)
    with open(os.path.join(folder, 'file%05d.dat' % i), 'wb') as f:
        f.write(data)
PY
}

# ---- the 10,000 files: a full backup, then all rewritten while watching ----
make_corpus "$src/many" 10000 100
many_mb=$(echo "$(du -sb "$src/many" | cut -f1) / 1000000" | bc -l)
sync
start=$(now)
"$vlctl" backup </dev/null >/dev/null
full_seconds=$(echo "$(now) - $start" | bc -l)

watch_start
# Rewrites every file (appends a line, so the content changes) and notes when the last
# write ended; then waits until every copy is newer than that.
rewrite=$(python3 - "$src/many" "$copies/many" <<'PY'
import os, sys, time
root, copies = sys.argv[1], sys.argv[2]
names = sorted(os.path.join(f, n) for f, _, ns in os.walk(root) for n in ns)
first = time.time()
for name in names:
    with open(name, 'ab') as f:
        f.write(b'changed\n')
last = time.time()
pending = {os.path.join(copies, os.path.relpath(n, root)) + '.VL001' for n in names}
# A copy is new once its change time is after the rewrite's end (copies are put in place
# by a rename, so a copy that is there is whole).
while pending:
    done = set()
    for copy in pending:
        try:
            if os.stat(copy).st_ctime >= last:
                done.add(copy)
        except FileNotFoundError:
            pass
    pending -= done
    if pending:
        time.sleep(0.1)
end = time.time()
print('%.2f %.2f %.2f' % (last - first, end - last, end - first))
PY
)
read -r write_seconds after_last_write after_first_write <<<"$rewrite"
watch_stop

# ---- latency of single edits ----
watch_start
latencies=$(python3 - "$src/many" "$copies/many" "$edits" <<'PY'
import os, random, sys, time
root, copies, edits = sys.argv[1], sys.argv[2], int(sys.argv[3])
random.seed(2)
names = sorted(os.path.join(f, n) for f, _, ns in os.walk(root) for n in ns)
chosen = random.sample(names, edits)
pending = {}  # copy -> time of the last write
results = []
next_edit = time.time()
while chosen or pending:
    now = time.time()
    if chosen and now >= next_edit:
        name = chosen.pop()
        with open(name, 'ab') as f:
            f.write(b'edited\n')
        pending[os.path.join(copies, os.path.relpath(name, root)) + '.VL001'] = time.time()
        next_edit = time.time() + random.uniform(2.0, 3.0)
    for copy, written in list(pending.items()):
        if os.stat(copy).st_ctime >= written:
            results.append(time.time() - written)
            del pending[copy]
    time.sleep(0.01)
results.sort()
def pct(p):
    return results[min(len(results) - 1, max(0, int(round(p / 100 * len(results) + 0.5)) - 1))]
print('%.2f %.2f %.2f %.2f' % (pct(50), pct(95), results[-1], results[0]))
PY
)
read -r p50 p95 pmax pmin <<<"$latencies"
watch_stop

# ---- idle cost on 50,000 files in 5,000 folders ----
rm -rf "$src/many" "$work/target/Vaultaire"
make_corpus "$src/idle" 50000 10
sync
watch_start
enabled_seconds=$enabled_after
sleep 5  # let the start's work end before measuring
ticks_per_second=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$watch_pid/stat"; }
ticks_before=$(cpu_ticks)
start=$(now)
sleep "$idle_seconds"
ticks_after=$(cpu_ticks)
measured=$(echo "$(now) - $start" | bc -l)
rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$watch_pid/status")
hwm=$(awk '/^VmHWM/ { print $2 }' "/proc/$watch_pid/status")
threads=$(awk '/^Threads/ { print $2 }' "/proc/$watch_pid/status")
fds=$(ls "/proc/$watch_pid/fd" | wc -l)
idle_saved=$(grep -c '^Saving file:' "$work/watch.out" || true)
watch_stop
cpu_percent=$(echo "($ticks_after - $ticks_before) / $ticks_per_second / $measured * 100" | bc -l)
cpu_ms_per_minute=$(echo "($ticks_after - $ticks_before) * 1000 / $ticks_per_second / $measured * 60" | bc -l)

printf '\nLatency of %d single edits (last write to new .VL001):\n' "$edits"
printf '  p50 %.2f s, p95 %.2f s (goal <= 6.3 s), max %.2f s, min %.2f s\n' "$p50" "$p95" "$pmax" "$pmin"
printf '\n10,000 files (%.1f MB):\n' "$many_mb"
printf '  full vlctl backup:              %7.2f s\n' "$full_seconds"
printf '  watch, rewritten at once:       %7.2f s after the last write (%.2f s from the first; writing took %.2f s)\n' \
    "$after_last_write" "$after_first_write" "$write_seconds"
printf '\nIdle, 50,000 files in 5,000 folders:\n'
printf '  until "Vaultaire enabled.":     %7.2f s\n' "$enabled_seconds"
printf '  CPU over %.0f s with no changes: %.4f %% of one core (%.1f ms per minute; goal <= 0.1 %%)\n' \
    "$measured" "$cpu_percent" "$cpu_ms_per_minute"
printf '  VmRSS %d KiB, VmHWM %d KiB, %d threads, %d open descriptors, %d files saved while idle\n' \
    "$rss" "$hwm" "$threads" "$fds" "$idle_saved"
