#!/usr/bin/env bash
# Reliability checks of automatic backup, run by hand: "vlctl watch" (Release build) on a
# profile keeping one version, in a sandbox, and three checks that each print one figure
# line, "missed" meaning a file whose .VL001 is missing or does not hold its latest content
# (goal 0 everywhere):
#   a. change capture: 20,000 files created at once (more than the kernel's default queue
#      of 16,384 events), 1,000 files in nested folders made in the same moment, a folder
#      of 500 files moved in from outside, a file renamed over another; then settling.
#   b. stop with a queue: 5,000 files written and SIGTERM at once.
#   c. kill -9 while it saves many files (1,000 of 5,000 rewritten ones saved): every copy that existed before is still readable;
#      files changed meanwhile are caught by "vlctl watch --catch-up".
#
# Usage: bench/run-watch-checks.sh
set -euo pipefail
source "$(dirname "$0")/watch-lib.sh"
watch_install_needs
watch_build
watch_setup 1

# Writes files: make_files FOLDER COUNT PREFIX [BYTES] — each file holds its own name and
# a fresh random tail, so every rewrite changes the content.
make_files() {
    python3 - "$@" <<'PY'
import os, sys
folder, count, prefix = sys.argv[1], int(sys.argv[2]), sys.argv[3]
size = int(sys.argv[4]) if len(sys.argv) > 4 else 64
os.makedirs(folder, exist_ok=True)
for i in range(count):
    name = os.path.join(folder, '%s%05d.txt' % (prefix, i))
    with open(name, 'wb') as f:
        f.write(name.encode() + b'\n' + os.urandom(size).hex().encode())
PY
}

# ---- a. change capture ----
# Before watching: the two files of the rename, backed up once, and the folder to move in.
echo "first" > "$src/rename-from.txt"
echo "second, to be replaced" > "$src/rename-over.txt"
"$vlctl" backup </dev/null >/dev/null
make_files "$work/outside/moved-in" 500 m
watch_start
make_files "$src/flood" 20000 f &
writers=($!)
python3 - "$src/nested" <<'PY' &
import os, sys
# 100 new folders three deep, ten files written into each the moment it exists.
root = sys.argv[1]
for i in range(100):
    folder = os.path.join(root, 'n%03d' % i, 'deeper', 'deepest')
    os.makedirs(folder)
    for j in range(10):
        with open(os.path.join(folder, 'f%d.txt' % j), 'w') as f:
            f.write('%s %d\n' % (folder, j))
PY
writers+=($!)
mv "$work/outside/moved-in" "$src/moved-in" &
writers+=($!)
mv "$src/rename-from.txt" "$src/rename-over.txt" &
writers+=($!)
wait "${writers[@]}"
settled=$(wait_settled 10)
a_missed=$(count_missed)
a_files=$(find "$src" -type f | wc -l)
a_saved=$(grep -c '^Saving file:' "$work/watch.out" || true)
reader=$(cross_check_reader 20)
watch_stop
printf 'a. change capture: %d files, %d missed (goal 0); %d saved lines; settled after %.1f s; exit %d\n' \
    "$a_files" "$a_missed" "$a_saved" "$settled" "$watch_exit"
printf '   (copy reader against vlctl archive extract: %d of 20 differ)\n' "$reader"

# ---- b. a stop with 5,000 changes queued ----
watch_start
make_files "$src/stop" 5000 s
watch_stop
b_missed=$(count_missed)
printf 'b. stop with 5,000 changes queued: %d missed (goal 0); vlctl ended %.1f s after SIGTERM, exit %d\n' \
    "$b_missed" "$stop_seconds" "$watch_exit"

# ---- c. kill -9 while saving, then --catch-up ----
# Every copy that exists now is an earlier version that must survive.
python3 "$check" snapshot "$copies" > "$work/earlier-copies"
watch_start
# Rewrite 5,000 of the flood files (each already has a copy) with larger content, so the
# continuous backup is replacing copies when it is killed.
make_files "$src/flood" 5000 f 4096
until [ "$(grep -c '^Saving file:' "$work/watch.out" || true)" -ge 1000 ]; do
    kill -0 "$watch_pid" 2>/dev/null || { echo "vlctl watch ended by itself" >&2; break; }
    sleep 0.05
done
kill -KILL "$watch_pid"
wait "$watch_pid" 2>/dev/null || true
watch_pid=
saved_before_kill=$(grep -c '^Saving file:' "$work/watch.out" || true)
lost=$(python3 "$check" readable "$copies" "$work/earlier-copies" | tail -n 1)
# Changes while nothing watches: new files and edits of saved ones.
make_files "$src/meanwhile" 300 w
make_files "$src/stop" 200 s 128
pending=$(python3 "$check" missed "$src" "$copies" | tail -n 1)
watch_start --catch-up
settled=$(wait_settled 10)
c_missed=$(count_missed)
watch_stop
printf 'c. kill -9 after %d saved lines: %d of %d earlier copies lost or unreadable (goal 0);\n' \
    "$saved_before_kill" "$lost" "$(wc -l < "$work/earlier-copies")"
printf '   --catch-up: %d files not backed up before it, %d missed after settling (goal 0) in %.1f s; exit %d\n' \
    "$pending" "$c_missed" "$settled" "$watch_exit"
leftovers=$(find "$work/target" -type f ! -name '*.VL[0-9][0-9][0-9]' | wc -l)
printf '   files in the target other than copies (work files left by the kill): %d\n' "$leftovers"
