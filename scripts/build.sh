#!/usr/bin/env bash
# Configures and builds the project into build/ (or $VL_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VL_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=${VL_BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
