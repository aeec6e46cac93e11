#!/usr/bin/env bash
# The content window's filter box over a 100,000-entry archive in the window program
# (offscreen): the time of each keystroke until the list is painted again, and the peak memory.
#
# Usage: bench/filter.sh [ENTRIES [ROUNDS]]     (defaults 100000 and 5)
# Environment: BUILD_DIR   the configured build folder to build the benchmark in (default build)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$(dirname "$here")/build}
[ -f "$build/CMakeCache.txt" ] || { echo "bench: $build is not configured (run make build, or set BUILD_DIR)" >&2; exit 1; }
cmake --build "$build" --target filter_bench -j2 >/dev/null
QT_QPA_PLATFORM=offscreen "$build/bin/filter_bench" "${1:-100000}" "${2:-5}"
