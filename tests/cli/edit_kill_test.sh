#!/usr/bin/env bash
# Kills quillomar-cli with SIGKILL while it edits a 200 MiB archive in place, at points spread over
# the run by a seeded generator, and checks what a user would find afterwards: the archive's name
# holds the old archive or the edited one, each whole and accepted by verify, and once the next
# edit has run no temporary is left beside it. With QUILLOMAR_NO_TMPFILE (see notmpfile.sh) the same
# without unnamed files.
# Usage: edit_kill_test.sh PATH-TO-quillomar-cli [POINTS] [SEED]
set -uo pipefail

cli=$1
points=${2:-30}
seed=${3:-20261207}
# In memory where there is a RAM disk: what is checked is what a kill leaves, not the disk's speed.
work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "${BASH_SOURCE[0]}")/notmpfile.sh"
export LC_ALL=C
unset LANG LC_MESSAGES QUILLOMAR_CODEPAGE

fail() {
    echo "FAIL (edit kill, unnamed files $unnamed): $*" >&2
    exit 1
}

# 200 MiB in 50 entries of 4 MiB; the edit replaces the second, so nearly all of the archive is
# copied after its new bytes.
mkdir -p "$work/tree" "$work/new" "$work/out"
head -c $((200 << 20)) /dev/urandom | split -b $((4 << 20)) -d -a 2 - "$work/tree/F"
printf 'the new bytes of F01\n' >"$work/new/F01"
"$cli" pack -q "$work/tree" -o "$work/old.pod" || fail "pack failed"
"$cli" add "$work/old.pod" F01 -C "$work/new" -o "$work/new.pod" || fail "the reference edit failed"
rm -rf "$work/tree"
cmp -s "$work/old.pod" "$work/new.pod" && fail "the edit changes nothing"

archive=$work/out/a.pod
reset() { cp --reflink=never "$work/old.pod" "$archive"; }
reset
start=${EPOCHREALTIME/./}
"$cli" add "$archive" F01 -C "$work/new" || fail "the edit failed"
total=$(((${EPOCHREALTIME/./} - start) / 1000))
reset

temporaries() { find "$work/out" -name '.quillomar-*' | wc -l; }

olds=0 news=0 seen=0
for delay in $(awk -v seed="$seed" -v total="$total" -v count="$points" 'BEGIN {
                   srand(seed); for (i = 0; i < count; ++i) printf "%.4f\n", (1 + rand() * (total - 1)) / 1000 }'); do
    "$cli" add "$archive" F01 -C "$work/new" >/dev/null 2>&1 &
    pid=$!
    sleep "$delay"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    if cmp -s "$archive" "$work/old.pod"; then
        got=old
        olds=$((olds + 1))
    elif cmp -s "$archive" "$work/new.pod"; then
        got=new
        news=$((news + 1))
    else
        fail "after SIGKILL at ${delay}s the archive is neither the old nor the new one"
    fi
    "$cli" verify "$archive" >/dev/null || fail "verify refused the archive left after ${delay}s"
    seen=$((seen + $(temporaries)))
    [ "$got" = old ] || reset
done
# The next edit sweeps whatever the kills left.
"$cli" add "$archive" F01 -C "$work/new" || fail "the edit after the kills failed"
cmp -s "$archive" "$work/new.pod" || fail "the edit after the kills gave other bytes"
[ "$(temporaries)" -eq 0 ] || fail "temporaries left after the next run: $(ls -A "$work/out")"
echo "kill -9 during an edit of a 200 MiB archive (unnamed files $unnamed): $points points over ${total} ms: $olds old, $news new," \
     "0 other; $seen temporaries seen after kills, 0 after the next run"
