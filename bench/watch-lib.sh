# Shared set-up of bench/run-watch-checks.sh and bench/run-watch-bench.sh (sourced, not run):
# a Release vlctl in its own build folder, a sandbox with a data folder, a source folder
# S: and a target D:, and helpers to start, stop and wait for "vlctl watch".
#
# After watch_setup: $work (the temp folder), $src (the watched tree), $copies (where the
# copies of $src land), $vlctl, and VAULTAIRE_HOME, HOME and TMPDIR pointing into $work.

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
check="$repo/bench/watch_check.py"

watch_install_needs() {
    local need=()
    command -v bc >/dev/null || need+=(bc)
    command -v python3 >/dev/null || need+=(python3)
    if [ ${#need[@]} -gt 0 ]; then
        apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
    fi
}

watch_build() {
    local build_dir=${VL_BENCH_BUILD_DIR:-build-watch-bench}
    (cd "$repo" && cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DVL_BUILD_TESTS=OFF >/dev/null &&
        cmake --build "$build_dir" -j 2 --target vlctl >/dev/null)
    vlctl="$repo/$build_dir/bin/vlctl"
}

# The sandbox and a profile "Watch" of S:\ to D:\ keeping versions ($1, default 1).
watch_setup() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/vlwatch-XXXXXX")
    trap 'watch_stop_all; rm -rf "$work"' EXIT
    src="$work/src"
    copies="$work/target/Vaultaire/S"
    mkdir -p "$src" "$work/target" "$work/data" "$work/home" "$work/tmp" "$work/outside"
    export VAULTAIRE_HOME="$work/data" HOME="$work/home" TMPDIR="$work/tmp"
    printf 'detect off\nS: fixed "%s"\nD: fixed "%s"\nC: none\n' "$src" "$work/target" \
        > "$VAULTAIRE_HOME/drives.map"
    "$vlctl" profile add --title Watch --source 'S:\' --target 'D:\' --versions "${1:-1}" >/dev/null
}

now() { date +%s.%N; }

# Starts "vlctl watch $*" in the background (its output in $work/watch.out, its pid in
# $watch_pid) and waits until it watches every folder; sets $enabled_after (seconds).
watch_start() {
    : > "$work/watch.out"
    local start
    start=$(now)
    "$vlctl" watch "$@" > "$work/watch.out" 2> "$work/watch.err" </dev/null &
    watch_pid=$!
    until grep -q '^Vaultaire enabled\.' "$work/watch.out"; do
        if ! kill -0 "$watch_pid" 2>/dev/null; then
            echo "vlctl watch ended before it watched:" >&2
            cat "$work/watch.out" "$work/watch.err" >&2
            exit 1
        fi
        sleep 0.02
    done
    enabled_after=$(echo "$(now) - $start" | bc -l)
}

# Sends SIGTERM and waits for vlctl to end; sets $watch_exit and $stop_seconds.
watch_stop() {
    local start
    start=$(now)
    kill -TERM "$watch_pid"
    watch_exit=0
    wait "$watch_pid" || watch_exit=$?
    stop_seconds=$(echo "$(now) - $start" | bc -l)
    watch_pid=
}

watch_stop_all() {
    if [ -n "${watch_pid:-}" ]; then
        kill -KILL "$watch_pid" 2>/dev/null || true
        wait "$watch_pid" 2>/dev/null || true
    fi
}

# A fingerprint of the target: every file's name, size and change time.
target_state() { find "$work/target" -type f -printf '%p %s %C@\n' 2>/dev/null | sort | md5sum; }

# Waits until the target has not changed for $1 seconds (default 10); prints the seconds
# waited in all. Gives up after $2 seconds (default 900) and says so.
wait_settled() {
    local quiet=${1:-10} limit=${2:-900} start last state previous=
    start=$(now)
    last=$start
    while :; do
        state=$(target_state)
        if [ "$state" != "$previous" ]; then
            previous=$state
            last=$(now)
        elif (($(echo "$(now) - $last >= $quiet" | bc -l))); then
            break
        fi
        if (($(echo "$(now) - $start > $limit" | bc -l))); then
            echo "the target still changed after $limit s" >&2
            break
        fi
        sleep 1
    done
    echo "$(echo "$(now) - $start" | bc -l)"
}

# Files of $src whose copy is missing or old: prints the count (examples go to stderr).
count_missed() {
    python3 "$check" missed "$src" "$copies" | tee "$work/missed.txt" | head -n -1 >&2
    tail -n 1 "$work/missed.txt"
}

# Cross-checks watch_check.py's reader against "vlctl archive extract" on up to $1 copies.
cross_check_reader() {
    local n=${1:-20} mismatches=0 copy out
    mkdir -p "$work/extract"
    while read -r copy; do
        out="$work/extract/one"
        rm -f "$out"
        "$vlctl" archive extract "$copy" "$out" --overwrite always >/dev/null </dev/null
        cmp -s "$out" <(python3 "$check" content "$copy") || mismatches=$((mismatches + 1))
    done < <(python3 "$check" snapshot "$copies" | shuf -n "$n" --random-source=<(yes))
    echo "$mismatches"
}
