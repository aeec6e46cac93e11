#!/usr/bin/env bash
# Times quillomar-cli against GNU tar and against the kernel-copy floor on the same trees, in one
# run, alternating the three in every round:
#   pack     10,000 small files (about 330 MB) and 3,000 game-like files (about 900 MB)  vs  tar -cf
#   extract  the archives of those trees                                                vs  tar -xf
#   list     the small tree's archive, and an archive of 100,000 tiny files              vs  tar -tf
#   info     of the 100,000-entry archive (no tar counterpart; to compare builds)
#   mount    the 100,000-entry archive until its folder is ready, and cp -r of the game tree out of
#            a mounted archive against extract of it and against cp -r of the source tree itself
#            (where FUSE can be mounted; skipped otherwise)
# The floor is bench/floorcopy.cpp: the same bytes moved with no archive format, each way the system
# offers (copy_file_range, sendfile, splice, large buffers) timed in every round; the fastest for
# each job is its floor, and the report names it. A way the kernel refuses between the two file
# systems (copy_file_range from a disk to the RAM disk) is left out after its first try.
# It also packs and extracts one 1 GiB file three times, reporting the peak memory of each.
#
# Usage: bench/run.sh [ROUNDS]       (default 7; `make bench` runs it)
# Environment: QUILLOMAR_CLI   the program to time (default build/bin/quillomar-cli)
#              QUILLOMAR_CLI_BEFORE  another build to time in the same rounds (an earlier one, say):
#                              each line then shows its time and ratio too
#              BENCH_WORK      the source trees (default bench/work; about 1.3 GB)
#              BENCH_OUT       archives and extracted trees, a RAM disk by default (/dev/shm;
#                              about 2.5 GB at the peak)
#              BENCH_JOBS      the jobs to run, separated by commas (default all):
#                              pack, extract (extract packs too, untimed where pack is left out),
#                              list, info, mount, huge, edit
# Times are wall-clock medians over the rounds with a warm page cache; `sync` runs untimed before
# each timed job so that none pays for another's write-back. Ratios are quillomar's time over the
# other's (below 1: quillomar is faster).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
cli=${QUILLOMAR_CLI:-$root/build/bin/quillomar-cli}
before=${QUILLOMAR_CLI_BEFORE:-}
work=${BENCH_WORK:-$here/work}
rounds=${1:-7}
outBase=${BENCH_OUT:-/dev/shm}
jobs=,${BENCH_JOBS:-pack,extract,list,info,mount,huge,edit},
wanted() { [[ $jobs == *,$1,* ]]; }
floorMethods=(copy_file_range sendfile splice buffer)

[ -x "$cli" ] || { echo "bench: $cli not built (run make build, or set QUILLOMAR_CLI)" >&2; exit 1; }
[ -z "$before" ] || [ -x "$before" ] || { echo "bench: $before is not a program" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "bench: /usr/bin/time missing (package time; make deps installs it)" >&2; exit 1; }
command -v tar >/dev/null || { echo "bench: tar missing" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
out=$(mktemp -d "$outBase/quillomar-bench.XXXXXX")
mnt=$work/mnt
unmount_bench() { grep -qF " $mnt fuse.quillomar " /proc/self/mounts && fusermount3 -u -z "$mnt"; true; }
trap 'unmount_bench; rm -rf "$work" "$out"' EXIT
floor=$work/floorcopy
${CXX:-c++} -O2 -std=c++20 "$here/floorcopy.cpp" -o "$floor"

# measure_floor JOB OUTPUT MODE ARGS...: times floorcopy MODE with each way of copying still offered
# for JOB, in times[JOB.f.METHOD], removing OUTPUT before each; a way the kernel refuses here (exit
# status 3) is dropped for that job. The last way's output is left for the next job.
declare -A refused
measure_floor() {
    local job=$1 output=$2 method status
    shift 2
    for method in "${floorMethods[@]}"; do
        [ -z "${refused[$job.$method]:-}" ] || continue
        rm -rf "$output" "$output.index"
        sync
        local start=${EPOCHREALTIME/./}
        status=0
        "$floor" "$1" "$method" "${@:2}" >/dev/null 2>"$work/stderr" || status=$?
        local end=${EPOCHREALTIME/./}
        if [ "$status" -eq 3 ]; then
            refused[$job.$method]=1
            continue
        fi
        [ "$status" -eq 0 ] || { echo "bench: failed: floorcopy $* ($method)" >&2; cat "$work/stderr" >&2; exit 1; }
        times[$job.f.$method]+="$((end - start)) "
    done
}

# measure NAME COMMAND...: runs it once and adds its wall time (us) to times[NAME]. Only the jobs
# whose peak memory is reported run under /usr/bin/time (measure_rss, keeping the largest peak RSS in
# kB in rss[NAME]): its own start takes about 8 ms here, as long as a whole listing, and would count
# as the timed program's.
declare -A times rss
measure() { run_timed "$1" "" "${@:2}"; }
measure_rss() { run_timed "$1" rss "${@:2}"; }
run_timed() {
    local name=$1 memory=$2
    shift 2
    local wrapper=()
    [ -z "$memory" ] || wrapper=(/usr/bin/time -f %M -o "$work/rss")
    sync
    local start=${EPOCHREALTIME/./}
    if ! "${wrapper[@]}" "$@" >/dev/null 2>"$work/stderr"; then
        echo "bench: failed: $*" >&2
        cat "$work/stderr" >&2
        exit 1
    fi
    local end=${EPOCHREALTIME/./}
    times[$name]+="$((end - start)) "
    if [ -n "$memory" ]; then
        local kb
        kb=$(tail -n 1 "$work/rss")
        [ "${rss[$name]:-0}" -ge "$kb" ] || rss[$name]=$kb
    fi
}

median() {  # median of the microsecond values in $1, in seconds with 3 decimals
    local sorted count
    sorted=($(tr ' ' '\n' <<<"$1" | grep . | sort -n))
    count=${#sorted[@]}
    awk -v us="${sorted[$((count / 2))]}" 'BEGIN { printf "%.3f", us / 1e6 }'
}

spread() {  # (max - min) / median of the values in $1, as a percentage: how noisy the rounds were
    tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ v[NR] = $1 } END { printf "%.0f%%", (v[NR] - v[1]) * 100 / v[int(NR / 2) + 1] }'
}

mib() { awk -v kb="$1" 'BEGIN { printf "%.1f MiB", kb / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

report() {  # report LABEL JOB GOAL [FLOOR]: quillomar against tar (and the floor), with the goal
    local q t f b line
    q=$(median "${times[$2.q]}")
    t=$(median "${times[$2.t]}")
    line=$(printf '%-34s quillomar %7.3f s  tar %7.3f s  = %s x tar (goal <= %s)' "$1" "$q" "$t" "$(ratio "$q" "$t")" "$3")
    if [ -n "${4:-}" ]; then
        # The floor is the fastest way of copying for this job; its name goes with it.
        local method m best=""
        for method in "${floorMethods[@]}"; do
            [ -n "${times[$2.f.$method]:-}" ] || continue
            m=$(median "${times[$2.f.$method]}")
            if [ -z "$best" ] || awk -v a="$m" -v b="$f" 'BEGIN { exit !(a < b) }'; then
                best=$method
                f=$m
            fi
        done
        line+=$(printf '  floor %7.3f s (%s)  = %s x floor' "$f" "$best" "$(ratio "$q" "$f")")
    fi
    if [ -n "$before" ]; then
        b=$(median "${times[$2.b]}")
        line+=$(printf '  before %7.3f s  = %s x tar' "$b" "$(ratio "$b" "$t")")
    fi
    printf '%s  spread %s\n' "$line" "$(spread "${times[$2.q]}")"
}

echo "bench: building the trees in $work"
read -r smallFiles smallBytes smallFolders < <(perl "$here/maketree.pl" small "$work/small")
read -r gameFiles gameBytes gameFolders < <(perl "$here/maketree.pl" game "$work/game")
read -r manyFiles manyBytes manyFolders < <(perl "$here/maketree.pl" many "$work/many")
echo "bench: small tree $smallFiles files, $(mib $((smallBytes / 1024))); game tree $gameFiles files," \
     "$(mib $((gameBytes / 1024))); $manyFiles tiny files; outputs in $out"

# The 100,000-entry archives are made once; only their listing is timed.
"$cli" pack -q "$work/many" -o "$out/many.pod"
tar -cf "$out/many.tar" -C "$work/many" .
rm -rf "$work/many"

# Mounting needs /dev/fuse and the right to use it: tried once, the mount jobs run only if it works.
mkdir -p "$mnt"
mounting=""
if ! wanted mount; then
    :
elif "$cli" mount "$out/many.pod" "$mnt" 2>/dev/null && "$cli" unmount "$mnt"; then
    mounting=1
else
    echo "bench: cannot mount FUSE file systems here: the mount jobs are left out"
fi

for round in $(seq 1 "$rounds"); do
    echo "bench: round $round of $rounds"
    for tree in small game; do
        wanted pack || wanted extract || wanted list || [ -n "$mounting" ] || break
        rm -f "$out/$tree.pod" "$out/$tree.tar" "$out/$tree.bin" "$out/$tree.bin.index"
        if wanted pack; then
            measure "pack.$tree.q" "$cli" pack -q "$work/$tree" -o "$out/$tree.pod"
            if [ -n "$before" ]; then
                measure "pack.$tree.b" "$before" pack -q "$work/$tree" -o "$out/$tree.before.pod"
                rm -f "$out/$tree.before.pod"
            fi
            measure "pack.$tree.t" tar -cf "$out/$tree.tar" -C "$work/$tree" .
            measure_floor "pack.$tree" "$out/$tree.bin" pack "$work/$tree" "$out/$tree.bin"
        else
            # The archives to extract and list, made untimed.
            "$cli" pack -q "$work/$tree" -o "$out/$tree.pod"
            tar -cf "$out/$tree.tar" -C "$work/$tree" .
            ! wanted extract || "$floor" pack buffer "$work/$tree" "$out/$tree.bin"
        fi

        if wanted extract; then
            rm -rf "$out/x.q" "$out/x.t" "$out/x.f"
            mkdir -p "$out/x.t"
            measure "extract.$tree.q" "$cli" extract -q "$out/$tree.pod" -C "$out/x.q"
            if [ -n "$before" ]; then
                measure "extract.$tree.b" "$before" extract -q "$out/$tree.pod" -C "$out/x.b"
                rm -rf "$out/x.b"
            fi
            measure "extract.$tree.t" tar -xf "$out/$tree.tar" -C "$out/x.t"
            measure_floor "extract.$tree" "$out/x.f" extract "$out/$tree.bin" "$out/x.f"
            rm -rf "$out/x.q" "$out/x.t" "$out/x.f"
        fi
        rm -f "$out/$tree.bin" "$out/$tree.bin.index"
        if [ -n "$mounting" ] && [ "$tree" = game ]; then
            # A fresh mount each round: nothing of it in the kernel's cache yet.
            "$cli" mount "$out/$tree.pod" "$mnt"
            measure "mountcopy.$tree.q" cp -r "$mnt" "$out/x.m"
            "$cli" unmount "$mnt"
            rm -rf "$out/x.m"
            # cp -r of the same files with no FUSE in between: from the source tree to the outputs
            # is from one file system to another, so cp reads and writes through its own buffer as
            # it must out of a mount (copy_file_range and reflinks stop at a file system's edge).
            measure "mountcopy.$tree.f" cp -r "$work/$tree" "$out/x.c"
            rm -rf "$out/x.c"
        fi
        [ "$tree" = small ] || rm -f "$out/$tree.pod" "$out/$tree.tar"
    done
    # Listing takes tens of milliseconds: several pairs per round steady the median.
    for pair in 1 2 3 4 5; do
        if wanted list; then
            measure list.small.q "$cli" list "$out/small.pod"
            measure list.small.t tar -tf "$out/small.tar"
            measure list.many.q "$cli" list "$out/many.pod"
            measure list.many.t tar -tf "$out/many.tar"
        fi
        ! wanted info || measure info.q "$cli" info "$out/many.pod"
        if [ -n "$mounting" ]; then
            measure mount.many.q "$cli" mount "$out/many.pod" "$mnt"
            "$cli" unmount "$mnt"
        fi
        if [ -n "$before" ]; then
            if wanted list; then
                measure list.small.b "$before" list "$out/small.pod"
                measure list.many.b "$before" list "$out/many.pod"
            fi
            ! wanted info || measure info.b "$before" info "$out/many.pod"
        fi
    done
done
rm -rf "$work/small" "$work/game" "$out"/*

if wanted huge; then
    # One 1 GiB file (sparse on disk; its archive and its extracted copy are real bytes).
    mkdir -p "$work/huge"
    truncate -s 1G "$work/huge/huge.bin"
    printf 'head' | dd of="$work/huge/huge.bin" conv=notrunc status=none
    printf 'tail' | dd of="$work/huge/huge.bin" bs=1 seek=$((1024 * 1024 * 1024 - 4)) conv=notrunc status=none
    # Three rounds each, alternating with the earlier build where there is one: the first write of a
    # gigabyte after the trees were removed can take twice as long as the next.
    for round in 1 2 3; do
        measure_rss hugepack "$cli" pack -q "$work/huge" -o "$work/huge.pod"
        [ "$round" -eq 3 ] || rm -f "$work/huge.pod"
        if [ -n "$before" ]; then
            measure_rss hugepack.b "$before" pack -q "$work/huge" -o "$work/huge.before.pod"
            rm -f "$work/huge.before.pod"
        fi
    done
    rm -rf "$work/huge"
    for round in 1 2 3; do
        measure_rss hugeextract "$cli" extract -q "$work/huge.pod" -C "$work/huge.out"
        extracted=$(stat -c %s "$work/huge.out/HUGE.BIN")
        rm -rf "$work/huge.out"
        if [ -n "$before" ]; then
            measure_rss hugeextract.b "$before" extract -q "$work/huge.pod" -C "$work/huge.before"
            rm -rf "$work/huge.before"
        fi
    done
    rm -f "$work/huge.pod"
fi

echo
echo "quillomar-cli vs tar and the floor: medians of $rounds rounds, warm page cache, outputs in $outBase"
if wanted pack; then
    report "pack $smallFiles small files" pack.small "0.60" floor
    report "pack $gameFiles game-like files" pack.game "0.50" floor
fi
if wanted extract; then
    report "extract the small tree" extract.small "0.60" floor
    report "extract the game tree" extract.game "0.50" floor
fi
if wanted list; then
    report "list the small tree" list.small "0.15"
    report "list $manyFiles entries" list.many "0.20"
fi
if wanted info; then
    printf 'info of that archive               quillomar %7.3f s' "$(median "${times[info.q]}")"
    [ -z "$before" ] || printf '  before %7.3f s' "$(median "${times[info.b]}")"
    echo
fi
if [ -n "$mounting" ]; then
    printf 'mount %s entries, until ready    quillomar %7.3f s  (goal <= 1 s)  spread %s\n' "$manyFiles" \
        "$(median "${times[mount.many.q]}")" "$(spread "${times[mount.many.q]}")"
    q=$(median "${times[mountcopy.game.q]}")
    x=$(median "${times[extract.game.q]}")
    printf 'cp -r of the game tree from a mount  %7.3f s  extract %7.3f s  = %s x extract (goal <= 1.25: 0.8 x its speed)  spread %s\n' \
        "$q" "$x" "$(ratio "$q" "$x")" "$(spread "${times[mountcopy.game.q]}")"
    c=$(median "${times[mountcopy.game.f]}")
    printf 'cp -r of the game tree, no FUSE      %7.3f s  = %s x extract: the least cp -r takes; the mount = %s x that\n' \
        "$c" "$(ratio "$c" "$x")" "$(ratio "$q" "$c")"
fi
for step in hugepack hugeextract; do
    wanted huge || break
    printf '1 GiB file %-9s %7.3f s   peak RSS %s (goal <= 16 MiB: %s)' "${step#huge}" \
        "$(median "${times[$step]}")" "$(mib "${rss[$step]}")" \
        "$([ "${rss[$step]}" -le $((16 * 1024)) ] && echo PASS || echo FAIL)"
    [ -z "$before" ] || printf '   before %7.3f s, peak RSS %s' "$(median "${times[$step.b]}")" "$(mib "${rss[$step.b]}")"
    echo
done
! wanted huge || [ "$extracted" -eq $((1024 * 1024 * 1024)) ] || echo "1 GiB file: extracted $extracted bytes instead of 1073741824: FAIL"

# An edit in place against a copy of the archive (its own script, which runs alone too).
! wanted edit || QUILLOMAR_CLI=$cli "$here/edit.sh" 3
