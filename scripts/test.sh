#!/usr/bin/env bash
# Installs what is needed, builds everything and runs the whole test suite. Where clang
# is installed, the suite runs a second time in a build with address and undefined-
# behaviour checks, together with short runs of the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir=${VL_BUILD_DIR:-build}
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"

if command -v clang++ >/dev/null 2>&1; then
    echo
    echo "Checked build with clang (sanitizers and fuzz targets):"
    CXX=clang++ VL_BUILD_DIR=build-checked VL_BUILD_TYPE=Debug scripts/build.sh -DVL_BUILD_FUZZERS=ON
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        ctest --test-dir build-checked --output-on-failure -j "$(nproc)"
else
    echo "clang++ is not installed: the checked build and the fuzz targets are skipped."
fi
