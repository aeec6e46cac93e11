#!/usr/bin/env bash
# The content window over a 100,000-entry archive:
# - list: from the drop of the archive until the list is painted, and a click on each column
#   header until the sorted list is painted again (the window program offscreen);
# - extract: Extract all as a user meets it, against `quillomar-cli extract` of the same archive,
#   alternating, and the ratio of their medians. The real `quillomar` runs on a virtual X display
#   (Xvfb) with its text trace on; xdotool presses Escape in the content window and Enter in the
#   folder picker, and the time runs from that Enter until "N files extracted to DIR" is painted.
#   The archive is the 100,000 tiny files of bench/run.sh (maketree.pl many, packed by the CLI);
# - memory: the peak memory of a whole window session (open, sort by each column, extract all,
#   offscreen) with the extract part's archive against the same session with a 3-entry archive.
#
# Usage: bench/content_window.sh [ENTRIES [ROUNDS]]     (defaults 100000 and 5; ENTRIES for the list)
# Environment: BUILD_DIR   the configured build folder to build the benchmark in (default build)
#              BENCH_WORK  where the archives and extracted files go (default a temporary folder)
#              BENCH_JOBS  the parts to run, separated by commas (default list,extract,memory)
#              QUILLOMAR, QUILLOMAR_CLI  the programs Extract all times (default those of BUILD_DIR)
#              QUILLOMAR_BEFORE  another build's window program, timed in the same rounds
#              BENCH_BUSY  that many busy loops run during the extract rounds (0 by default), to
#                          see the window on a loaded machine
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD_DIR:-$root/build}
entries=${1:-100000}
rounds=${2:-5}
jobs=,${BENCH_JOBS:-list,extract,memory},
wanted() { [[ $jobs == *,$1,* ]]; }
window=${QUILLOMAR:-$build/bin/quillomar}
cli=${QUILLOMAR_CLI:-$build/bin/quillomar-cli}
before=${QUILLOMAR_BEFORE:-}
busy=${BENCH_BUSY:-0}

if wanted list || wanted memory || [ -z "${QUILLOMAR:-}" ] || [ -z "${QUILLOMAR_CLI:-}" ]; then
    [ -f "$build/CMakeCache.txt" ] || { echo "bench: $build is not configured (run make build, or set BUILD_DIR)" >&2; exit 1; }
    cmake --build "$build" --target content_window_bench quillomar quillomar-cli -j2 >/dev/null
fi
if wanted extract; then
    for tool in Xvfb xdotool perl; do
        command -v "$tool" >/dev/null || { echo "bench: $tool is needed (scripts/setup-deps.sh bench)" >&2; exit 1; }
    done
    for program in "$window" "$cli" ${before:+"$before"}; do
        [ -x "$program" ] || { echo "bench: $program is not a program" >&2; exit 1; }
    done
fi
wanted memory && { [ -x /usr/bin/time ] || { echo "bench: /usr/bin/time is needed (Debian package time)" >&2; exit 1; }; }
bench="$build/bin/content_window_bench"

work=$(mktemp -d "${BENCH_WORK:-${TMPDIR:-/tmp}}/quillomar-window-bench.XXXXXX")
pids=()       # the display and the busy loops
windowPid=
cleanup() {
    local pid
    for pid in $windowPid "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
load() { cut -d' ' -f1-3 /proc/loadavg; }

if wanted list; then
    QT_QPA_PLATFORM=offscreen "$bench" "$entries" "$rounds" "$work"
fi

# Extract all as a user meets it ---------------------------------------------------------------------

# window_extract PROGRAM: opens the archive in PROGRAM on the virtual display, asks for Extract all
# into $work/out and prints the milliseconds from the Enter that picks the folder to the painted end
# text. The picker opens at the home folder, so the program's home is the output folder and Enter
# takes it as it stands; the program's settings and caches go elsewhere.
window_extract() {
    local program=$1 trace=$work/trace content picker deadline
    : >"$trace"
    env -u QT_QPA_PLATFORMTHEME LC_ALL=C.UTF-8 LANGUAGE= QT_QPA_PLATFORM=xcb QUILLOMAR_TRACE_TEXTS=1 \
        HOME="$work/out" XDG_CONFIG_HOME="$work/xdg" XDG_CACHE_HOME="$work/xdg" XDG_DATA_HOME="$work/xdg" \
        XDG_RUNTIME_DIR="$work/xdg" "$program" "$work/many.pod" 2>"$trace" &
    windowPid=$!
    content=$(timeout 120 xdotool search --sync --name '^POD content$' | head -n 1)
    xdotool windowfocus --sync "$content" key Escape
    picker=$(timeout 60 xdotool search --sync --name '^Destination folder for POD extraction' | head -n 1)
    xdotool windowfocus --sync "$picker" key Return
    deadline=$((SECONDS + 300))
    until grep -q ' painted [0-9]* files extracted to ' "$trace"; do
        [ "$SECONDS" -lt "$deadline" ] && kill -0 "$windowPid" 2>/dev/null || {
            echo "bench: the window did not finish Extract all; its trace:" >&2
            cat "$trace" >&2
            exit 1
        }
        sleep 0.05
    done
    kill "$windowPid"
    wait "$windowPid" 2>/dev/null || true
    windowPid=
    awk '$1 == "quillomar-trace" && $3 == "key" && $4 == "Return" { start = $2 }
         $1 == "quillomar-trace" && $3 == "painted" && / files extracted to / { end = $2; exit }
         END { printf "%.0f\n", (end - start) * 1000 }' "$trace"
}

# bench/run.sh's 100,000 tiny files in 200 folders, packed by the CLI, as $work/many.pod.
make_many() {
    [ -f "$work/many.pod" ] && return
    perl "$here/maketree.pl" many "$work/many" >/dev/null
    "$cli" pack -q "$work/many" -o "$work/many.pod"
    rm -rf "$work/many"
}

fresh_out() { rm -rf "$work/out" "$work/xdg" && mkdir "$work/out" "$work/xdg" && chmod 700 "$work/xdg"; }

if wanted extract; then
    make_many
    count=$("$cli" list "$work/many.pod" | wc -l)

    # A display of its own: -displayfd names the first free one.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    pids+=("$!")
    until [ -s "$work/display" ]; do sleep 0.05; done
    export DISPLAY=:$(cat "$work/display")

    for ((i = 0; i < busy; i++)); do
        (while :; do :; done) &
        pids+=("$!")
    done

    loadStart=$(load)
    : >"$work/cli.ms"; : >"$work/window.ms"; : >"$work/before.ms"
    for ((round = 1; round <= rounds; round++)); do
        fresh_out
        start=$(now_ms)
        "$cli" extract "$work/many.pod" -C "$work/out" -q
        echo $(( $(now_ms) - start )) >>"$work/cli.ms"

        # The two builds take turns at going first, so that neither always follows the CLI.
        programs=("$window" ${before:+"$before"})
        results=("$work/window.ms" "$work/before.ms")
        for ((at = 0; at < ${#programs[@]}; at++)); do
            which=$(( (at + round) % ${#programs[@]} ))
            fresh_out
            window_extract "${programs[which]}" >>"${results[which]}"
        done
    done
    loadEnd=$(load)

    cli_ms=$(median <"$work/cli.ms")
    window_ms=$(median <"$work/window.ms")
    echo "extract all, $count entries (maketree.pl many), median of $rounds, $busy busy loops;" \
         "load average $loadStart at the start, $loadEnd at the end:"
    printf '  quillomar-cli extract              %8d ms   (%s)\n' "$cli_ms" "$(paste -sd' ' "$work/cli.ms")"
    printf '  window, Enter to the end text      %8d ms   (%s)\n' "$window_ms" "$(paste -sd' ' "$work/window.ms")"
    # Each round's own ratio too: its window and CLI ran a few seconds apart, at about one load.
    ratios() { paste "$1" "$work/cli.ms" | awk '{ printf "%.2f\n", $1 / $2 }'; }
    awk -v w="$window_ms" -v c="$cli_ms" -v r="$(ratios "$work/window.ms" | median)" \
        'BEGIN { printf "  ratio window / cli                 %8.2f   (goal <= 1.2; median of the rounds'"'"' ratios %.2f)\n", w / c, r }'
    if [ -n "$before" ]; then
        before_ms=$(median <"$work/before.ms")
        printf '  window before                      %8d ms   (%s)\n' "$before_ms" "$(paste -sd' ' "$work/before.ms")"
        awk -v w="$before_ms" -v c="$cli_ms" -v r="$(ratios "$work/before.ms" | median)" \
            'BEGIN { printf "  ratio before / cli                 %8.2f   (median of the rounds'"'"' ratios %.2f)\n", w / c, r }'
    fi
fi

# Memory of a whole session ----------------------------------------------------------------------------

if wanted memory; then
    # The list part's archive names 41 entries twice, which the window reports in a box: the
    # session takes the archive the extract part extracts.
    make_many
    ln -sf many.pod "$work/large.pod"
    "$bench" --write 3 "$work/small.pod" >/dev/null
    : >"$work/large.kb"; : >"$work/small.kb"
    for ((round = 1; round <= rounds; round++)); do
        for size in large small; do
            fresh_out
            QT_QPA_PLATFORM=offscreen /usr/bin/time -f %M -o "$work/mem" \
                "$bench" --session "$work/$size.pod" "$work/out" >/dev/null
            cat "$work/mem" >>"$work/$size.kb"
        done
    done
    large_kb=$(median <"$work/large.kb")
    small_kb=$(median <"$work/small.kb")
    echo "peak memory of a whole session (open, sort by each column, extract all), median of $rounds:"
    awk -v l="$large_kb" -v s="$small_kb" -v n="$("$cli" list "$work/many.pod" | wc -l)" 'BEGIN {
        printf "  %d entries %8.1f MiB\n  3 entries %13.1f MiB\n", n, l / 1024, s / 1024
        printf "  difference %12.1f MiB   (target at most 64)\n", (l - s) / 1024 }'
fi
