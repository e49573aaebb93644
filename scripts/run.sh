#!/usr/bin/env bash
# Installs what is needed, builds the program and runs its main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir=${VL_BUILD_DIR:-build}
echo
echo "Built into $build_dir/bin:"
ls "$build_dir/bin"
echo
echo "The backup engine and its front ends are not built yet: so far the shared library"
echo "(profiles' ground work, file masks, password keys, drive map) and its tests exist."
echo "Run the tests with scripts/test.sh."
