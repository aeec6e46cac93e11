#!/usr/bin/env bash
# Times an edit in place against copying the archive: one 1 KiB entry of a 1 GiB archive replaced
# by `quillomar-cli add` (which writes the whole archive again, the unchanged bytes by the kernel,
# and flushes it before it takes the archive's name) against `cp --reflink=never` of the same
# archive on the same file system, and against that copy followed by `sync` of the copy (what the
# edit also pays: its bytes on disk). Reports medians and the edit's peak memory.
#
# Usage: bench/edit.sh [ROUNDS]       (default 3; bench/run.sh runs it at its end)
# Environment: QUILLOMAR_CLI  the program to time (default build/bin/quillomar-cli)
#              BENCH_EDIT_DIR the folder of the archive and its copies (default bench/work-edit;
#                             about 3 GiB at the peak)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
cli=${QUILLOMAR_CLI:-$root/build/bin/quillomar-cli}
rounds=${1:-3}
work=${BENCH_EDIT_DIR:-$here/work-edit}

[ -x "$cli" ] || { echo "bench: $cli not built (run make build, or set QUILLOMAR_CLI)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "bench: /usr/bin/time missing (package time; make deps installs it)" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/tree" "$work/new1" "$work/new2"
trap 'rm -rf "$work"' EXIT

# Two halves of 512 MiB around the 1 KiB entry: the edit copies two runs of the old archive.
head -c $((512 << 20)) /dev/urandom >"$work/tree/A.BIN"
head -c 1024 /dev/urandom >"$work/tree/M.TXT"
head -c $((512 << 20)) /dev/urandom >"$work/tree/Z.BIN"
head -c 1024 /dev/urandom >"$work/new1/M.TXT"
head -c 1024 /dev/urandom >"$work/new2/M.TXT"
"$cli" pack -q "$work/tree" -o "$work/a.pod"
rm -rf "$work/tree"

declare -a edit copy copysync
peak=0
now() { echo "${EPOCHREALTIME/./}"; }
for round in $(seq 1 "$rounds"); do
    sync
    start=$(now)
    cp --reflink=never "$work/a.pod" "$work/copy.pod"
    copy+=($(($(now) - start)))
    rm -f "$work/copy.pod"
    sync
    start=$(now)
    cp --reflink=never "$work/a.pod" "$work/copy.pod"
    sync "$work/copy.pod"
    copysync+=($(($(now) - start)))
    rm -f "$work/copy.pod"
    sync
    # Each round replaces the entry with other bytes than it holds.
    start=$(now)
    /usr/bin/time -f %M -o "$work/rss" "$cli" add "$work/a.pod" M.TXT -C "$work/new$((round % 2 + 1))"
    edit+=($(($(now) - start)))
    kb=$(tail -n 1 "$work/rss")
    [ "$peak" -ge "$kb" ] || peak=$kb
done
cmp -s <("$cli" cat "$work/a.pod" m.txt) "$work/new$((rounds % 2 + 1))/M.TXT" || { echo "bench: the edit lost its bytes" >&2; exit 1; }

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", v[int((NR + 1) / 2)] / 1e6 }'; }
e=$(median "${edit[@]}")
c=$(median "${copy[@]}")
s=$(median "${copysync[@]}")
printf 'replace 1 KiB in a 1 GiB archive      quillomar %7.3f s  cp %7.3f s = %s x cp (goal <= 1.3)' "$e" "$c" \
    "$(awk -v a="$e" -v b="$c" 'BEGIN { printf "%.2f", a / b }')"
printf '  cp+sync %7.3f s = %s x\n' "$s" "$(awk -v a="$e" -v b="$s" 'BEGIN { printf "%.2f", a / b }')"
printf 'the edit'"'"'s peak RSS %s (goal <= 16 MiB: %s); medians of %s rounds in %s\n' \
    "$(awk -v kb="$peak" 'BEGIN { printf "%.1f MiB", kb / 1024 }')" \
    "$([ "$peak" -le $((16 * 1024)) ] && echo PASS || echo FAIL)" "$rounds" "$work"
