#!/usr/bin/env bash
# Times quillomar-cli against tar on the same trees, in one run, alternating the two in every round:
#   pack     a mixed tree (about 4,000 files in nested folders, 0 bytes to 6 MiB)  vs  tar -cf
#   extract  the archive of that tree                                             vs  tar -xf
#   list     an archive of 100,000 small files                                    vs  tar -tf
# and packs and extracts one 1 GiB file, reporting the peak memory of each.
#
# Usage: bench/run.sh [ROUNDS]       (default 5; `make bench` runs it)
# Environment: QUILLOMAR_CLI   the program to time (default build/bin/quillomar-cli)
#              BENCH_WORK      scratch folder (default bench/work; about 2.5 GB at the peak)
# Times are wall-clock medians over the rounds with a warm page cache; `sync` runs untimed before
# each timed pack and extract so that neither tool pays for the other's write-back.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
cli=${QUILLOMAR_CLI:-$root/build/bin/quillomar-cli}
work=${BENCH_WORK:-$here/work}
rounds=${1:-5}

[ -x "$cli" ] || { echo "bench: $cli not built (run make build, or set QUILLOMAR_CLI)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "bench: /usr/bin/time missing (package time; make deps installs it)" >&2; exit 1; }
command -v tar >/dev/null || { echo "bench: tar missing" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

# measure NAME COMMAND...: runs it once, adds its wall time (us) to times[NAME], keeps its peak RSS (kB).
declare -A times rss
measure() {
    local name=$1
    shift
    local start=${EPOCHREALTIME/./}
    if ! /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>"$work/stderr"; then
        echo "bench: failed: $*" >&2
        cat "$work/stderr" >&2
        exit 1
    fi
    local end=${EPOCHREALTIME/./}
    times[$name]+="$((end - start)) "
    rss[$name]=$(tail -n 1 "$work/rss")
}

median() {  # median of the microsecond values in $1, in seconds with 3 decimals
    local sorted count
    sorted=($(tr ' ' '\n' <<<"$1" | grep . | sort -n))
    count=${#sorted[@]}
    awk -v us="${sorted[$((count / 2))]}" 'BEGIN { printf "%.3f", us / 1e6 }'
}

mib() { awk -v kb="$1" 'BEGIN { printf "%.1f MiB", kb / 1024 }'; }

report() {  # report LABEL QUILLOMAR-NAME TAR-NAME
    local q t
    q=$(median "${times[$2]}")
    t=$(median "${times[$3]}")
    printf '%-28s quillomar %7.3f s   tar %7.3f s   tar/quillomar %5.2fx   peak RSS %s / %s\n' \
        "$1" "$q" "$t" "$(awk -v q="$q" -v t="$t" 'BEGIN { print (q > 0 ? t / q : 0) }')" \
        "$(mib "${rss[$2]}")" "$(mib "${rss[$3]}")"
}

echo "bench: building the trees in $work"
read -r mixedFiles mixedBytes mixedFolders < <(perl "$here/maketree.pl" mixed "$work/mixed")
read -r manyFiles manyBytes manyFolders < <(perl "$here/maketree.pl" many "$work/many")
echo "bench: mixed tree $mixedFiles files, $(mib $((mixedBytes / 1024))), $mixedFolders folders;" \
     "small tree $manyFiles files, $(mib $((manyBytes / 1024))), $manyFolders folders"

# The 100,000-entry archives are made once; only their listing is timed.
"$cli" pack -q "$work/many" -o "$work/many.pod"
tar -cf "$work/many.tar" -C "$work/many" .
rm -rf "$work/many"

for round in $(seq 1 "$rounds"); do
    echo "bench: round $round of $rounds"
    rm -f "$work/mixed.pod" "$work/mixed.tar"
    sync
    measure pack.q "$cli" pack -q "$work/mixed" -o "$work/mixed.pod"
    sync
    measure pack.t tar -cf "$work/mixed.tar" -C "$work/mixed" .

    rm -rf "$work/out.q" "$work/out.t"
    mkdir -p "$work/out.t"
    sync
    measure extract.q "$cli" extract -q "$work/mixed.pod" -C "$work/out.q"
    sync
    measure extract.t tar -xf "$work/mixed.tar" -C "$work/out.t"
    sync

    # Listing takes tens of milliseconds: several pairs per round steady the median.
    for pair in 1 2 3 4 5; do
        measure list.q "$cli" list "$work/many.pod"
        measure list.t tar -tf "$work/many.tar"
    done
done
rm -rf "$work/out.q" "$work/out.t" "$work/mixed.pod" "$work/mixed.tar" "$work/mixed"

# One 1 GiB file (sparse on disk; its archive and its extracted copy are real bytes).
mkdir -p "$work/huge"
truncate -s 1G "$work/huge/huge.bin"
printf 'head' | dd of="$work/huge/huge.bin" conv=notrunc status=none
printf 'tail' | dd of="$work/huge/huge.bin" bs=1 seek=$((1024 * 1024 * 1024 - 4)) conv=notrunc status=none
sync
measure hugepack "$cli" pack -q "$work/huge" -o "$work/huge.pod"
rm -rf "$work/huge"
sync
measure hugeextract "$cli" extract -q "$work/huge.pod" -C "$work/huge.out"
extracted=$(stat -c %s "$work/huge.out/HUGE.BIN")
rm -rf "$work/huge.out" "$work/huge.pod"

echo
echo "quillomar-cli vs tar: median of $rounds rounds, warm page cache"
report "pack ($mixedFiles files)" pack.q pack.t
report "extract ($mixedFiles files)" extract.q extract.t
report "list ($manyFiles entries)" list.q list.t
listRatio=$(awk -v q="$(median "${times[list.q]}")" -v t="$(median "${times[list.t]}")" 'BEGIN { printf "%.1f", t / q }')
echo "list target: at least 5x faster than tar -tf: ${listRatio}x $(awk -v r="$listRatio" 'BEGIN { print (r >= 5 ? "PASS" : "FAIL") }')"
for step in hugepack hugeextract; do
    printf '1 GiB file %-9s %7.3f s   peak RSS %s (target < 32 MiB: %s)\n' "${step#huge}" \
        "$(median "${times[$step]}")" "$(mib "${rss[$step]}")" \
        "$([ "${rss[$step]}" -lt $((32 * 1024)) ] && echo PASS || echo FAIL)"
done
[ "$extracted" -eq $((1024 * 1024 * 1024)) ] || echo "1 GiB file: extracted $extracted bytes instead of 1073741824: FAIL"
