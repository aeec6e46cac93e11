#!/usr/bin/env bash
# Times the content window over a 100,000-entry archive in the window program (offscreen): from the
# drop of the archive until the list is painted, and a click on each column header until the
# sorted list is painted again.
#
# Usage: bench/content_window.sh [ENTRIES [ROUNDS]]     (defaults 100000 and 5)
# Environment: BUILD_DIR   the configured build folder to build the benchmark in (default build)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD_DIR:-$root/build}

[ -f "$build/CMakeCache.txt" ] || { echo "bench: $build is not configured (run make build, or set BUILD_DIR)" >&2; exit 1; }
cmake --build "$build" --target content_window_bench -j2 >/dev/null
QT_QPA_PLATFORM=offscreen "$build/bin/content_window_bench" "${1:-100000}" "${2:-5}"
