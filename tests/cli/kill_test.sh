#!/usr/bin/env bash
# Kills quillomar-cli while it packs and extracts a tree of a few thousand files, at points spread
# over the run by a seeded generator, and checks what a user would find afterwards:
#   - under the archive's final name, nothing or a complete archive (byte-identical to one packed
#     without interruption, and accepted by verify);
#   - every extracted file under its final name holds its old content or the entry's, never a part;
#   - no temporary file once the next run is over (SIGTERM: none at all, at once).
# Usage: kill_test.sh PATH-TO-quillomar-cli pack|extract|signals [POINTS] [SEED]
# Prints one summary line per case: points tried and what was found. With QUILLOMAR_NO_TMPFILE
# (see notmpfile.sh) the same runs without unnamed files: a kill -9 then leaves hidden temporaries,
# which must be there (or the test did not run the way it says) and gone after the next run.
set -uo pipefail

cli=$1
mode=$2
points=${3:-50}
seed=${4:-20261207}
work=$(mktemp -d)
trap 'chmod -R u+rwX "$work" 2>/dev/null; rm -rf "$work"' EXIT
. "$(dirname "${BASH_SOURCE[0]}")/notmpfile.sh"
export LC_ALL=C
unset LANG LC_MESSAGES QUILLOMAR_CODEPAGE

fail() {
    echo "FAIL (kill $mode, unnamed files $unnamed): $*" >&2
    exit 1
}

# A tree of 3,000 files in 60 folders: up to 8 KiB, but every 600th 1 to 2 MiB. Names are upper
# case, as extraction writes them, so that the tree and an extraction compare path for path.
# $2 is a salt: the "old" tree used to pre-fill a destination has other bytes at the same paths.
make_tree() {
    perl -e '
        my ($root, $salt) = @ARGV;
        my $state = 0x2545F491 ^ $salt;
        sub next32 { $state ^= ($state << 13) & 0xFFFFFFFF; $state ^= $state >> 17; $state ^= ($state << 5) & 0xFFFFFFFF; return $state }
        my $pool = pack("L*", map { next32() } 1 .. (1 << 20));
        mkdir $root or die;
        for my $d (0 .. 59) {
            my $folder = sprintf("%s/DIR%02d", $root, $d);
            mkdir $folder or die;
            for my $f (0 .. 49) {
                my $n = $d * 50 + $f;
                my $size = $n % 600 == 7 ? (1 << 20) + next32() % (1 << 20) : next32() % 8192;
                open(my $out, ">:raw", sprintf("%s/F%04d.BIN", $folder, $n)) or die;
                print $out substr($pool, next32() % (1 << 20), $size);
                close $out or die;
            }
        }' "$1" "$2"
}

# Seeded kill delays in seconds, spread over (0, total) where total is a run's length in ms.
delays() {
    local total=$1 count=$2
    awk -v seed="$seed" -v total="$total" -v count="$count" 'BEGIN {
        srand(seed)
        for (i = 0; i < count; ++i) printf "%.4f\n", (1 + rand() * (total - 1)) / 1000
    }'
}

elapsed_ms() {  # elapsed_ms COMMAND...: runs it, prints its wall time in ms
    local start=${EPOCHREALTIME/./}
    "$@" >/dev/null 2>&1
    echo $(((${EPOCHREALTIME/./} - start) / 1000))
}

# run_signalled SIGNAL DELAY COMMAND...: starts the command, sends it SIGNAL after DELAY seconds and
# waits until it has ended (reaped, so that no half-dead process still holds its id); its status.
# Its standard error goes to $work/err.
run_signalled() {
    local signal=$1 delay=$2
    shift 2
    "$@" >/dev/null 2>"$work/err" &
    local pid=$!
    sleep "$delay"
    kill -s "$signal" "$pid" 2>/dev/null
    wait "$pid"
}

temporaries() { find "$1" -name '.quillomar-*' | wc -l; }

# signalled_packs SIGNAL CHECK: packs into $work/out once per seeded point, sending SIGNAL at that
# point. An archive left under the final name must be the reference one, accepted by verify (it is
# then removed), and nothing else may be left in the folder: an unnamed file leaves nothing at all,
# and a handled signal removes a hidden temporary at once. What kill -9 leaves of a hidden one is
# the one exception, at most one at a time: each run sweeps what an earlier one left before it
# starts its own. CHECK is called with the run's status, 1 when an archive was left (else 0) and
# the delay. Sets total to an uninterrupted run's length in ms, and leftovers to the temporaries
# seen after the kills.
signalled_packs() {
    local signal=$1 check=$2
    mkdir -p "$work/out"
    total=$(elapsed_ms "$cli" pack -q "$work/tree" -o "$work/out/a.pod")
    rm -f "$work/out/a.pod"
    leftovers=0
    for delay in $(delays "$total" "$points"); do
        { run_signalled "$signal" "$delay" "$cli" pack -q "$work/tree" -o "$work/out/a.pod"; } 2>/dev/null
        local status=$? left=0
        if [ -e "$work/out/a.pod" ]; then
            cmp -s "$work/out/a.pod" "$work/reference.pod" || fail "a cut archive under the final name after SIG$signal at ${delay}s"
            "$cli" verify "$work/out/a.pod" >/dev/null || fail "verify refused the archive left after ${delay}s"
            left=1
            rm "$work/out/a.pod"
        fi
        "$check" "$status" "$left" "$delay"
        local rest hidden
        rest=$(ls -A "$work/out")
        if [ "$signal" = KILL ] && [ "$unnamed" = off ]; then
            hidden=$(temporaries "$work/out")
            [ "$hidden" -le 1 ] || fail "$hidden temporaries after SIGKILL at ${delay}s: earlier ones were not swept"
            leftovers=$((leftovers + hidden))
            rest=$(ls -A "$work/out" | grep -v '^\.quillomar-')
        fi
        [ -z "$rest" ] || fail "SIG$signal at ${delay}s left: $rest"
    done
}

make_tree "$work/tree" 0
"$cli" pack -q "$work/tree" -o "$work/reference.pod" || fail "the reference pack failed"
expected=$(cd "$work/tree" && find . -type f -print0 | sort -z | xargs -0 md5sum)

case $mode in
pack)
    none=0 whole=0
    count_outcome() { if [ "$2" -eq 1 ]; then whole=$((whole + 1)); else none=$((none + 1)); fi; }
    signalled_packs KILL count_outcome
    if [ "$unnamed" = off ]; then
        [ "$leftovers" -gt 0 ] || fail "no kill left a hidden temporary: the run did not go without unnamed files"
        # The next run sweeps what the last kill left.
        "$cli" pack -q "$work/tree" -o "$work/out/a.pod" || fail "the pack after the kills failed"
        [ "$(ls -A "$work/out")" = a.pod ] || fail "the pack after the kills left: $(ls -A "$work/out")"
    fi
    echo "kill -9 during pack (unnamed files $unnamed): $points points over ${total} ms: $none no archive," \
         "$whole complete archive, 0 cut; $leftovers temporaries seen after kills, 0 after the next run"
    ;;
extract)
    make_tree "$work/old" 1
    # Half the destination's files exist beforehand with other bytes, half are new.
    fill() {
        rm -rf "$work/dest"
        cp -a "$work/old" "$work/dest"
        find "$work/dest" -name 'F*[13579].BIN' -delete
    }
    old=$(cd "$work/old" && find . -type f -print0 | sort -z | xargs -0 md5sum)
    fill
    total=$(elapsed_ms "$cli" extract -q "$work/reference.pod" -C "$work/dest")
    fill
    oldOrNew="$work/allowed"
    { echo "$old"; echo "$expected"; } >"$oldOrNew"
    i=0 finished=0 checked=0 leftovers=0
    for delay in $(delays "$total" "$points"); do
        i=$((i + 1))
        [ $((i % 10)) -eq 0 ] && fill  # back to the old state now and then, so old files stay in play
        { run_signalled KILL "$delay" "$cli" extract -q "$work/reference.pod" -C "$work/dest"; } 2>/dev/null &&
            finished=$((finished + 1))
        # Every file under a final name: its old bytes or the entry's, nothing in between.
        bad=$(cd "$work/dest" && find . -type f ! -name '.quillomar-*' -print0 | xargs -0 md5sum |
              awk 'NR == FNR { ok[$0] = 1; next } !($0 in ok)' "$oldOrNew" -)
        [ -z "$bad" ] || fail "after ${delay}s, files neither old nor whole: $(head -3 <<<"$bad")"
        checked=$((checked + $(find "$work/dest" -type f | wc -l)))
        leftovers=$((leftovers + $(temporaries "$work/dest")))
    done
    [ "$unnamed" = on ] || [ "$leftovers" -gt 0 ] ||
        fail "no kill left a hidden temporary: the run did not go without unnamed files"
    # The next run sweeps what the kills left and finishes the job.
    "$cli" extract -q "$work/reference.pod" -C "$work/dest" || fail "the run after the kills failed"
    [ "$(temporaries "$work/dest")" -eq 0 ] ||
        fail "temporaries left after the next run: $(find "$work/dest" -name '.quillomar-*' -printf '%P %s\n' | head -5)"
    got=$(cd "$work/dest" && find . -type f -name 'F*' -print0 | sort -z | xargs -0 md5sum)
    [ "$got" = "$expected" ] || fail "the run after the kills did not restore every entry"
    echo "kill -9 during extract (unnamed files $unnamed): $points points over ${total} ms ($finished finished): $checked files checked," \
         "0 cut; $leftovers temporaries seen after kills, 0 after the next run"
    ;;
signals)
    terms=0 early=0
    check_stop() {
        local status=$1 left=$2 delay=$3
        [ "$left" -eq 1 ] || [ "$status" -eq 143 ] || fail "SIGTERM at ${delay}s: exit $status, expected 143"
        [ "$status" -eq 143 ] || return 0
        # Empty only when the signal came before the handlers were in place, with nothing written yet.
        case $(cat "$work/err") in
        "quillomar-cli: stopped by SIGTERM") terms=$((terms + 1)) ;;
        "") early=$((early + 1)) ;;
        *) fail "stderr: $(cat "$work/err")" ;;
        esac
    }
    signalled_packs TERM check_stop
    # Extraction: temporaries go at once, and the exit status says which signal.
    rm -rf "$work/dest" && mkdir "$work/dest"
    timeout --preserve-status -s INT 0.05 "$cli" extract -q "$work/reference.pod" -C "$work/dest" 2>/dev/null
    status=$?
    [ "$status" -eq 130 ] || [ "$status" -eq 0 ] || fail "SIGINT during extract: exit $status"
    [ "$(temporaries "$work/dest")" -eq 0 ] || fail "SIGINT left temporaries"
    # SIGTERM while both threads replace existing files: the handler stops new temporaries and waits
    # for those being made before it removes them, so none is left, run after run (QUILLOMAR_KILL_RUNS).
    "$cli" extract -q "$work/reference.pod" -C "$work/dest" || fail "extract into a fresh folder failed"
    runs=${QUILLOMAR_KILL_RUNS:-40}
    for ((run = 0; run < runs; ++run)); do
        delay=$(perl -e 'printf "%.3f", 0.02 + ($ARGV[0] * 7919 % 250) / 1000' "$run")
        timeout --preserve-status -s TERM "$delay" "$cli" extract -q "$work/reference.pod" -C "$work/dest" 2>/dev/null
        status=$?
        [ "$status" -eq 143 ] || [ "$status" -eq 0 ] || fail "SIGTERM during a replacing extract: exit $status"
        left=$(temporaries "$work/dest")
        [ "$left" -eq 0 ] || fail "SIGTERM at ${delay}s while replacing files left $left temporaries (run $run)"
    done

    # A file-size limit: "File too large", reported like a full disk, and nothing cut left behind.
    (ulimit -f 2048; "$cli" pack -q "$work/tree" -o "$work/out/a.pod") 2>"$work/err"
    status=$?
    [ "$status" -eq 1 ] || fail "pack over the file-size limit exited $status"
    [ "$(cat "$work/err")" = "$(printf 'quillomar-cli: File too large\n==> %s' "$work/out/a.pod")" ] ||
        fail "pack over the limit said: $(cat "$work/err")"
    [ "$(ls -A "$work/out")" = "" ] || fail "the limit left $(ls -A "$work/out")"
    rm -rf "$work/dest" && mkdir "$work/dest"
    (ulimit -f 1024; "$cli" extract -q "$work/reference.pod" -C "$work/dest") 2>"$work/err"
    status=$?
    [ "$status" -eq 1 ] || fail "extract over the file-size limit exited $status"
    grep -q 'File too large' "$work/err" || fail "extract over the limit said: $(cat "$work/err")"
    big=$(find "$work/dest" -type f -size +1024k | wc -l)
    [ "$big" -eq 0 ] || fail "a file over the limit was left cut"
    [ "$(temporaries "$work/dest")" -eq 0 ] || fail "the limit left temporaries"
    echo "SIGTERM during pack (unnamed files $unnamed): $points points over ${total} ms: $terms stopped with the line, $early before start-up" \
         "(exit 143, no file left), the rest complete;" \
         "SIGINT during extract, $runs SIGTERMs during extracts that replace files," \
         "SIGXFSZ during pack and extract: nothing cut, no temporary"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
