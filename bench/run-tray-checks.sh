#!/usr/bin/env bash
# Checks of the tray program under a real X server with a tray host (trayer), run by hand:
#
#   bench/run-tray-checks.sh [--idle SECONDS] [--cycles N] [--backups N] [--shots FOLDER]
#
# 1. start-up: time from the start until the splash is up and until it has closed (the
#    program is then idle in the tray, automatic backup on);
# 2. idle cost: resident memory and CPU time of the running program with automatic backup
#    on, over --idle seconds (default 180);
# 3. N enable/disable cycles from the tray menu (default 100) and N full backups from it
#    (default 20): threads, open descriptors and resident memory after each tenth, which
#    must stay flat;
# 4. with --shots, screenshots of the open tray menu and of the progress window.
#
# Everything runs in a scratch folder (data folder, drive map, source and target) with its
# own HOME and XDG folders; nothing of the user's is touched. Needs xvfb-run, trayer,
# xdotool and ImageMagick's import (scripts/install-deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

idle=180
cycles=100
backups=20
shots=""
while [ $# -gt 0 ]; do
    case "$1" in
        --idle) idle=$2; shift 2 ;;
        --cycles) cycles=$2; shift 2 ;;
        --backups) backups=$2; shift 2 ;;
        --shots) shots=$(realpath -m "$2"); shift 2 ;;
        --inner) inner=1; shift ;;
        *) echo "usage: $0 [--idle SECONDS] [--cycles N] [--backups N] [--shots FOLDER]" >&2
           exit 2 ;;
    esac
done

for tool in xvfb-run trayer xdotool import; do
    command -v "$tool" >/dev/null || { echo "missing: $tool (run scripts/install-deps.sh)" >&2; exit 1; }
done

if [ -z "${inner:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" --inner --idle "$idle" --cycles "$cycles" \
        --backups "$backups" ${shots:+--shots "$shots"}
fi

build=${VL_BUILD_DIR:-build}
program="$repo/$build/bin/vaultaire"
vlctl="$repo/$build/bin/vlctl"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vl-tray-checks.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT

export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/share"
export XDG_RUNTIME_DIR="$scratch/run" VAULTAIRE_HOME="$scratch/data" TMPDIR="$scratch/tmp"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR" "$VAULTAIRE_HOME" \
    "$TMPDIR" "$scratch/source" "$scratch/target"
chmod 700 "$XDG_RUNTIME_DIR"
cat > "$VAULTAIRE_HOME/drives.map" <<MAP
detect off
S: fixed "$scratch/source"
D: fixed "$scratch/target"
MAP
# A source of 2,000 small files in 20 folders.
for folder in $(seq 1 20); do
    mkdir -p "$scratch/source/f$folder"
    for file in $(seq 1 100); do
        echo "file $folder/$file $(date +%N)" > "$scratch/source/f$folder/n$file.txt"
    done
done
"$vlctl" profile add --title Checks --source 'S:\' --target 'D:\' --versions 2 >/dev/null
touch "$VAULTAIRE_HOME/Vaultaire 2000.started"

trayer --edge top --align right --widthtype request --height 24 --transparent false \
    >/dev/null 2>&1 &
pids+=($!)
sleep 1

now() { date +%s.%N; }
elapsed() { echo "$1 $2" | awk '{printf "%.2f", $2 - $1}'; }
window_of() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
    local until=$(( $(date +%s) + $1 )); shift
    until "$@"; do
        [ "$(date +%s)" -lt "$until" ] || return 1
        sleep 0.05
    done
}
splash_up() { [ -n "$(window_of '^About$')" ]; }
splash_gone() { [ -z "$(window_of '^About$')" ]; }

# ---- 1. start-up ----
start=$(now)
"$program" Checks >"$scratch/program.out" 2>&1 &
pid=$!
pids+=($pid)
wait_for 30 splash_up
splash=$(now)
wait_for 30 splash_gone
idle_at=$(now)
echo "start-up: first window (splash) after $(elapsed "$start" "$splash") s;" \
     "idle in the tray after $(elapsed "$start" "$idle_at") s (the splash stays 3 s by design)"

rss() { awk '/^VmRSS/ {print $2}' "/proc/$pid/status"; }
threads() { ls "/proc/$pid/task" | wc -l; }
fds() { ls "/proc/$pid/fd" | wc -l; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
state() { echo "threads $(threads), descriptors $(fds), resident $(rss) KiB"; }

# ---- 2. idle cost ----
sleep 5  # let the first changes of the start settle
ticks0=$(cpu_ticks); t0=$(now); rss0=$(rss)
sleep "$idle"
ticks1=$(cpu_ticks); t1=$(now); rss1=$(rss)
hz=$(getconf CLK_TCK)
awk -v a="$ticks0" -v b="$ticks1" -v s="$t0" -v e="$t1" -v hz="$hz" -v r0="$rss0" -v r1="$rss1" \
    'BEGIN { cpu = (b - a) / hz; span = e - s;
             printf "idle with automatic backup on, %.0f s: CPU %.2f s = %.3f %% of a core" \
                    " (%.2f s per 10 minutes); resident %d KiB at the start, %d KiB at the end\n",
                    span, cpu, 100 * cpu / span, cpu * 600 / span, r0, r1 }'

# ---- the tray menu ----
tray_icon_point() {
    # The icon sits in trayer's panel; its first slot is at the panel's left edge.
    local panel
    panel=$(xdotool search --onlyvisible --class trayer | head -1)
    eval "$(xdotool getwindowgeometry --shell "$panel")"
    echo "$((X + 12)) $((Y + 12))"
}
open_menu() {
    read -r x y < <(tray_icon_point)
    xdotool mousemove "$x" "$y" click 3
    sleep 0.4
}
menu_key() {  # menu_key KEY: opens the tray menu and picks the item with that accelerator
    open_menu
    xdotool key "$1"
}
if [ -n "$shots" ]; then
    mkdir -p "$shots"
    open_menu
    import -window root "$shots/tray-menu-full.png"
    xdotool key Escape
fi

# ---- 3. enable/disable cycles ----
# Windows captioned "Vaultaire 2000": the shutdown window, the progress window, message boxes.
program_windows() { xdotool search --onlyvisible --name '^Vaultaire 2000$' 2>/dev/null | wc -l; }
windows_at_least() { [ "$(program_windows)" -ge "$1" ]; }
no_windows() { [ "$(program_windows)" -eq 0 ]; }
echo "before the cycles: $(state)"
for cycle in $(seq 1 "$cycles"); do
    menu_key a  # Disable Auto-Backup: the shutdown window stays at least 2 s
    wait_for 10 windows_at_least 1 || true
    wait_for 30 no_windows
    menu_key a  # Enable Auto-Backup
    sleep 0.3
    if [ $((cycle % 10)) -eq 0 ] || [ "$cycle" -eq "$cycles" ]; then
        echo "after $cycle enable/disable cycles: $(state)"
    fi
done

# ---- full backups ----
for run in $(seq 1 "$backups"); do
    menu_key b  # Backup Files...
    wait_for 30 windows_at_least 1
    if [ -n "$shots" ] && [ "$run" -eq 1 ]; then
        sleep 0.5
        import -window root "$shots/progress-full.png"
    fi
    # It ends with "Backup operation complete.", a box captioned like the window.
    wait_for 300 windows_at_least 2
    sleep 0.3
    xdotool key Return
    wait_for 30 no_windows
    if [ $((run % 5)) -eq 0 ] || [ "$run" -eq "$backups" ]; then
        echo "after $run full backups: $(state)"
    fi
done
echo "program still running: $(kill -0 "$pid" 2>/dev/null && echo yes || echo no)"
