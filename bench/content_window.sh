#!/usr/bin/env bash
# The content window over a 100,000-entry archive in the window program (offscreen):
# - from the drop of the archive until the list is painted, and a click on each column header
#   until the sorted list is painted again;
# - Extract all from the window against `quillomar-cli extract` of the same archive, alternating,
#   and the ratio of their medians;
# - the peak memory of a whole window session (open, sort by each column, extract all) with that
#   archive against the same session with a 3-entry archive, and the difference.
#
# Usage: bench/content_window.sh [ENTRIES [ROUNDS]]     (defaults 100000 and 5)
# Environment: BUILD_DIR   the configured build folder to build the benchmark in (default build)
#              BENCH_WORK  where the archives and extracted files go (default a temporary folder)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD_DIR:-$root/build}
entries=${1:-100000}
rounds=${2:-5}

[ -f "$build/CMakeCache.txt" ] || { echo "bench: $build is not configured (run make build, or set BUILD_DIR)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "bench: /usr/bin/time is needed (Debian package time)" >&2; exit 1; }
cmake --build "$build" --target content_window_bench quillomar-cli -j2 >/dev/null
bench="$build/bin/content_window_bench"
cli="$build/bin/quillomar-cli"
export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d "${BENCH_WORK:-${TMPDIR:-/tmp}}/quillomar-window-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$bench" "$entries" "$rounds" "$work"

"$bench" --write "$entries" "$work/large.pod" >/dev/null
"$bench" --write 3 "$work/small.pod" >/dev/null

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: >"$work/cli.ms"; : >"$work/window.ms"; : >"$work/large.kb"; : >"$work/small.kb"
for ((round = 1; round <= rounds; round++)); do
    rm -rf "$work/out" && mkdir "$work/out"
    start=$(now_ms)
    "$cli" extract "$work/large.pod" -C "$work/out" -q
    echo $(( $(now_ms) - start )) >>"$work/cli.ms"

    rm -rf "$work/out" && mkdir "$work/out"
    /usr/bin/time -f %M -o "$work/mem" "$bench" --session "$work/large.pod" "$work/out" >>"$work/window.ms"
    cat "$work/mem" >>"$work/large.kb"

    rm -rf "$work/out" && mkdir "$work/out"
    /usr/bin/time -f %M -o "$work/mem" "$bench" --session "$work/small.pod" "$work/out" >/dev/null
    cat "$work/mem" >>"$work/small.kb"
done

cli_ms=$(median <"$work/cli.ms")
window_ms=$(median <"$work/window.ms")
large_kb=$(median <"$work/large.kb")
small_kb=$(median <"$work/small.kb")
echo "extract all, $entries entries, median of $rounds:"
printf '  quillomar-cli extract  %8d ms\n' "$cli_ms"
printf '  content window         %8.0f ms\n' "$window_ms"
awk -v w="$window_ms" -v c="$cli_ms" 'BEGIN { printf "  ratio window / cli     %8.2f   (target at most 1.20)\n", w / c }'
echo "peak memory of a whole session (open, sort by each column, extract all), median of $rounds:"
awk -v l="$large_kb" -v s="$small_kb" -v n="$entries" 'BEGIN {
    printf "  %d entries %8.1f MiB\n  3 entries %13.1f MiB\n", n, l / 1024, s / 1024
    printf "  difference %12.1f MiB   (target at most 64)\n", (l - s) / 1024 }'
