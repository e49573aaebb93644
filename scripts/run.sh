#!/usr/bin/env bash
# Installs what is needed, builds the program and runs its main job.
#
# On a desktop ($DISPLAY or $WAYLAND_DISPLAY set) and with no arguments it starts the tray
# program with the demonstration profile "Demo" (see below); its autostart entry goes to
# demo/config/autostart, not to your own login. Without a display, and with no arguments,
# it backs up this checkout's share/ and shell/ folders (drive S:) to
# demo/backup (drive D:), keeping 3 versions of each file, and shows where the copies are
# and how to look at one. The demo keeps its profiles, log, settings and drive map in
# demo/data. With arguments, it runs vlctl with them in the same demo set-up
# (scripts/run.sh profiles, scripts/run.sh drives, scripts/run.sh help, ...).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
scripts/install-deps.sh
scripts/build.sh
vlctl="$repo/${VL_BUILD_DIR:-build}/bin/vlctl"

demo="$repo/demo"
export VAULTAIRE_HOME="$demo/data"
mkdir -p "$VAULTAIRE_HOME" "$demo/backup"
if [ ! -f "$VAULTAIRE_HOME/drives.map" ]; then
    cat > "$VAULTAIRE_HOME/drives.map" <<MAP
# Drives of the demonstration: S: is the checkout, D: the backup folder.
detect off
S: fixed "$repo"
D: fixed "$demo/backup"
MAP
fi

if [ $# -gt 0 ]; then
    exec "$vlctl" "$@"
fi

if ! "$vlctl" profiles | grep -q "Demo"; then
    "$vlctl" profile add --title Demo --source 'S:\share,S:\shell' --target 'D:\' --versions 3
fi
"$vlctl" profile select Demo >/dev/null

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    export XDG_CONFIG_HOME="$demo/config"
    echo "Starting the tray program with the profile Demo ($repo/share and $repo/shell"
    echo "to $demo/backup). Right-click its icon in the tray for the menu; Exit ends it."
    echo "The log:        $VAULTAIRE_HOME/Vaultaire 2000.log"
    exec "$repo/${VL_BUILD_DIR:-build}/bin/vaultaire" Demo
fi

echo
echo "Source: $repo/share and $repo/shell (S:\\share, S:\\shell)"
echo "Target: $demo/backup (D:\\)"
echo
status=0
"$vlctl" backup Demo </dev/null || status=$?

copy='D:\Vaultaire\S\share\profile.cpp.VL001'
echo
echo "The copies are in $demo/backup/Vaultaire, one folder per source drive letter;"
echo "each file's newest copy ends in .VL001, older ones in .VL002 and .VL003."
echo "Look at one:    scripts/run.sh archive info '$copy'"
echo "Restore it:     scripts/run.sh archive extract '$copy' /tmp/profile.cpp"
echo "All profiles:   scripts/run.sh profiles"
echo "Watch changes:  scripts/run.sh watch   (a new version a few seconds after each change;"
echo "                Ctrl+C backs up what is outstanding and stops)"
echo "The log:        $VAULTAIRE_HOME/Vaultaire 2000.log"
exit $status
