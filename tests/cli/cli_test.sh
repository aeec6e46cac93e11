#!/usr/bin/env bash
# Drives the built quillomar-cli the way a user does. Usage: cli_test.sh PATH-TO-quillomar-cli CASE
set -uo pipefail

cli=$1
case_name=$2
work=$(mktemp -d)
trap 'chmod -R u+rwX "$work" 2>/dev/null; rm -rf "$work"' EXIT

# Neutral texts and the C library's English error texts, whatever the machine's locale.
export LC_ALL=C
unset LANG LC_MESSAGES QUILLOMAR_CODEPAGE

fail() {
    echo "FAIL ($case_name): $*" >&2
    if [ -s "$work/err" ]; then echo "--- stderr:" >&2; cat "$work/err" >&2; fi
    exit 1
}

# run EXPECTED-STATUS ARGS...: runs the tool, stdout to $work/out and stderr to $work/err.
run() {
    local expected=$1
    shift
    "$cli" "$@" >"$work/out" 2>"$work/err"
    local status=$?
    [ "$status" -eq "$expected" ] || fail "quillomar-cli $* exited $status, expected $expected"
}

expect_stderr() {
    [ "$(cat "$work/err")" = "$1" ] || fail "stderr was [$(cat "$work/err")], expected [$1]"
}

expect_stderr_has() {
    grep -qF -- "$1" "$work/err" || fail "stderr lacks [$1]"
}

# A tree with nested folders, a hidden file, an empty file, a file over several copy chunks, an
# accented name and a file older than the DOS dates (its time cannot be stored).
make_tree() {
    local root=$1
    mkdir -p "$root/Sub/deep"
    printf 'hello\n' >"$root/a.txt"
    printf 'secret' >"$root/.hidden"
    head -c 3145731 /dev/urandom >"$root/Sub/Big.bin"
    : >"$root/Sub/deep/empty"
    printf 'accent' >"$root/Sub/été.txt"
    touch -d '2003-04-28 12:00:00 UTC' "$root/.hidden" "$root/Sub/Big.bin" "$root/Sub/deep/empty"
    touch -d '2003-04-28 20:00:00 UTC' "$root/Sub/été.txt"
    touch -d '1975-06-01 08:00:00 UTC' "$root/a.txt"
}

# Source file -> the path its entry extracts to (stored names are upper-cased).
declare -A stored_as=(
    [.hidden]=.HIDDEN [a.txt]=A.TXT [Sub/Big.bin]=SUB/BIG.BIN
    [Sub/deep/empty]=SUB/DEEP/EMPTY [Sub/été.txt]=SUB/ÉTÉ.TXT
)

json_check() {  # json_check FILE PERL-EXPRESSION-ON-$d
    perl -MJSON::PP -e '
        local $/; open my $f, "<", $ARGV[0] or die; my $d = JSON::PP->new->utf8->decode(<$f>);
        exit(eval($ARGV[1]) ? 0 : 1);' "$1" "$2" || fail "JSON check failed: $2 on $(cat "$1")"
}

case $case_name in

roundtrip)
    make_tree "$work/src"
    run 0 pack "$work/src" --name test --author Ann --description 'Round trip' --copyright '(c) me' \
        --priority -7 --log
    archive=$work/src/test.pod
    [ -f "$archive" ] || fail "no archive written"
    [ ! -s "$work/err" ] || fail "standard error is not a terminal, yet something was written there"
    grep -qF "5 files" "$work/out" || fail "no summary: $(cat "$work/out")"

    # The log: every scanned file once, CR LF after each line, and not itself.
    [ "$(grep -c $'\r$' "$work/src/test.txt")" -eq 5 ] || fail "log does not hold 5 CR LF lines"
    grep -q 'test\.txt' "$work/src/test.txt" && fail "log lists itself"

    run 0 list "$archive"
    [ "$(cat "$work/out")" = $'.HIDDEN\nA.TXT\nSUB\\BIG.BIN\nSUB\\DEEP\\EMPTY\nSUB\\ÉTÉ.TXT' ] ||
        fail "list gave: $(cat "$work/out")"

    run 0 list -l "$archive"
    grep -qE '^ +3145731  2003-04-28 12:00:00  SUB\\BIG\.BIN$' "$work/out" || fail "list -l: $(cat "$work/out")"
    grep -qE '^ +6  - +A\.TXT$' "$work/out" || fail "list -l shows a time for a pre-1980 file"

    run 0 list --json "$archive"
    json_check "$work/out" '@$d == 5 && $d->[0]{offset} == 288 && !defined $d->[1]{time}
        && $d->[1]{name} eq "A.TXT" && $d->[2]{name} eq "SUB\\BIG.BIN" && $d->[2]{size} == 3145731
        && $d->[2]{time} eq "2003-04-28T12:00:00Z" && $d->[4]{time} eq "2003-04-28T20:00:00Z"
        && $d->[4]{name} eq "SUB\\\x{c9}T\x{c9}.TXT"'

    size=$(stat -c %s "$archive")
    run 0 info --json "$archive"
    json_check "$work/out" '$d->{version} == 3 && $d->{description} eq "Round trip" && $d->{entryCount} == 5
        && $d->{author} eq "Ann" && $d->{copyright} eq "(c) me" && $d->{priority} == -7
        && $d->{totalSize} == 3145731 + 6 + 6 + 6 && $d->{fileSize} == '"$size"
    run 0 info "$archive"
    grep -qx 'Priority:    -7' "$work/out" || fail "info: $(cat "$work/out")"

    # Into a folder that does not exist yet, twice (the second run replaces the files).
    for round in 1 2; do
        run 0 extract "$archive" -C "$work/dest/new/dir"
        [ ! -s "$work/err" ] || fail "extract round $round wrote to standard error"
    done
    for source in "${!stored_as[@]}"; do
        extracted=$work/dest/new/dir/${stored_as[$source]}
        cmp -s "$work/src/$source" "$extracted" || fail "$source and $extracted differ"
        if [ "$source" != a.txt ]; then
            [ "$(stat -c %Y "$work/src/$source")" = "$(stat -c %Y "$extracted")" ] || fail "$extracted: wrong time"
        fi
    done
    [ "$(stat -c %Y "$work/dest/new/dir/A.TXT")" -gt 315532800 ] || fail "a time that was not stored was applied"
    [ "$(find "$work/dest" -type f | wc -l)" -eq 5 ] || fail "extract wrote other files"
    ;;

refuses_existing)
    make_tree "$work/src"
    run 0 pack -q "$work/src"
    archive=$work/src/my_pod_name.pod
    cp -p "$archive" "$work/first.pod"
    printf 'x' >>"$work/src/a.txt"

    run 1 pack -q "$work/src"
    expect_stderr "quillomar-cli: File exists"$'\n'"==> $archive"
    cmp -s "$archive" "$work/first.pod" || fail "the existing archive was changed"

    printf 'keep' >"$work/other"
    run 1 pack -q "$work/src" -o "$work/other"
    [ "$(cat "$work/other")" = keep ] || fail "-o replaced an existing file"

    mkdir -p "$work/empty/sub"
    run 1 pack -q "$work/empty"
    [ -z "$(find "$work/empty" -type f)" ] || fail "an archive was written for a folder without files"
    run 1 pack -q "$work/missing"
    expect_stderr "quillomar-cli: No such file or directory"$'\n'"==> $work/missing"
    ;;

source_failures)
    # A file that cannot be read is reported and left out: the archive is written, the exit is 1.
    mkdir -p "$work/src"
    printf 'one' >"$work/src/one"
    printf 'two' >"$work/src/two"
    chmod 000 "$work/src/two"
    as_user=()
    if [ "$(id -u)" -eq 0 ]; then
        command -v setpriv >/dev/null || exit 77
        as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
        chmod 755 "$work"
        chmod 777 "$work/src"
    fi
    "${as_user[@]}" "$cli" pack -q "$work/src" >"$work/out" 2>"$work/err"
    [ $? -eq 1 ] || fail "pack with an unreadable file did not exit 1"
    expect_stderr "quillomar-cli: Permission denied"$'\n'"==> $work/src/two"
    run 0 list "$work/src/my_pod_name.pod"
    [ "$(cat "$work/out")" = ONE ] || fail "list gave: $(cat "$work/out")"

    # A name the archive cannot hold refuses the whole archive.
    mkdir -p "$work/bad"
    printf 'x' >"$work/bad/a\\b"
    run 1 pack -q "$work/bad"
    expect_stderr "quillomar-cli: Invalid argument"$'\n'"==> $work/bad/a\\b"
    [ ! -e "$work/bad/my_pod_name.pod" ] || fail "an archive was left behind"
    ;;

usage)
    mkdir -p "$work/src" && printf 'x' >"$work/src/f"
    run 2
    run 2 frobnicate x.pod
    expect_stderr_has "unknown verb 'frobnicate'"
    run 2 list
    run 2 list a.pod b.pod
    run 2 extract
    run 2 cat a.pod
    run 2 --codepage 99 list a.pod
    run 2 --codepage abc list a.pod
    QUILLOMAR_CODEPAGE=437 run 2 list a.pod
    run 2 pack "$work/src" --priority abc
    run 2 pack "$work/src" --priority 99999999999
    run 2 pack "$work/src" --bogus
    [ ! -e "$work/src/my_pod_name.pod" ] || fail "a usage error still packed"

    run 0 --help
    grep -q 'extract' "$work/out" || fail "--help lists no verbs"
    for verb in pack info list extract cat verify; do
        run 0 "$verb" --help
        grep -q 'quillomar-cli '"$verb" "$work/out" || fail "$verb --help shows no example"
    done
    run 0 --version
    grep -q '1\.0\.0\.0' "$work/out" && grep -q 'Quillomar for Korvane' "$work/out" || fail "--version: $(cat "$work/out")"
    ;;

select)
    make_tree "$work/src"
    "$cli" pack -q "$work/src" -o "$work/a.pod" || fail "pack failed"

    # Any letter case, '/' or '\' between folders, a folder name for everything below it.
    run 0 extract "$work/a.pod" -C "$work/dest" 'sub/Été.TXT' 'Sub\deep' sub/big.BIN
    [ "$(cd "$work/dest" && find . -type f | sort | tr '\n' ' ')" = "./SUB/BIG.BIN ./SUB/DEEP/EMPTY ./SUB/ÉTÉ.TXT " ] ||
        fail "extracted: $(cd "$work/dest" && find . -type f)"
    cmp -s "$work/src/Sub/Big.bin" "$work/dest/SUB/BIG.BIN" || fail "wrong bytes"

    # A name that matches nothing is an error; the names that match are still extracted.
    run 1 extract "$work/a.pod" -C "$work/dest2" nothing a.txt
    expect_stderr "quillomar-cli: No such file or directory"$'\n'"==> nothing"
    [ -f "$work/dest2/A.TXT" ] || fail "the matching name was not extracted"

    # Names are read in the archive code page: byte 0xC9 is É in 1252 and Й in 1251.
    run 0 --codepage 1251 list "$work/a.pod"
    grep -qx 'SUB\\ЙTЙ.TXT' "$work/out" || fail "--codepage 1251 ignored: $(cat "$work/out")"
    QUILLOMAR_CODEPAGE=1251 run 0 list "$work/a.pod"
    grep -qx 'SUB\\ЙTЙ.TXT' "$work/out" || fail "QUILLOMAR_CODEPAGE ignored"
    ;;

cat)
    make_tree "$work/src"
    "$cli" pack -q "$work/src" -o "$work/a.pod" || fail "pack failed"
    run 0 cat "$work/a.pod" 'sub\big.bin'
    cmp -s "$work/out" "$work/src/Sub/Big.bin" || fail "cat gave other bytes"
    run 0 cat "$work/a.pod" SUB/DEEP/EMPTY
    [ ! -s "$work/out" ] || fail "cat of an empty entry wrote bytes"
    run 1 cat "$work/a.pod" SUB
    expect_stderr "quillomar-cli: No such file or directory"$'\n'"==> SUB"
    ;;

verify)
    make_tree "$work/src"
    "$cli" pack -q "$work/src" -o "$work/a.pod" || fail "pack failed"
    run 0 verify "$work/a.pod"
    grep -q '^OK: POD3, 5 entries' "$work/out" || fail "verify: $(cat "$work/out")"

    head -c 2000 "$work/a.pod" >"$work/cut.pod"
    for verb in verify list info extract; do
        run 1 "$verb" "$work/cut.pod"
        expect_stderr_has "quillomar-cli: This POD file is damaged or incomplete !"
    done
    [ "$(wc -l <"$work/err")" -ge 2 ] || fail "the reason is missing"
    LC_ALL=fr_FR.UTF-8 run 1 verify "$work/cut.pod"
    expect_stderr_has "quillomar-cli: Ce fichier POD est endommagé ou incomplet !"

    printf 'PK\003\004 not an archive' >"$work/zip.pod"
    run 1 verify "$work/zip.pod"
    expect_stderr "quillomar-cli: This file is not a POD3 ou POD2 format file !"
    run 1 verify "$work/none.pod"
    expect_stderr "quillomar-cli: No such file or directory"$'\n'"==> $work/none.pod"
    ;;

pod2)
    # A POD2 archive as the game's own tools wrote them: a 96-byte header, the directory right
    # after it, then the names, then the data. One entry written 2003-04-28 12:00:00 UTC.
    perl -e '
        my $header = pack("a4 V a80 V V", "POD2", 0, "Old data", 1, 0);
        my $record = pack("V V V V V", 0, 5, 96 + 20 + 11, 0x3EC6C54C, 0);
        print $header, $record, "ART\\F1.PBM\0", "hello";' >"$work/old.pod"
    run 0 info --json "$work/old.pod"
    json_check "$work/out" '$d->{version} == 2 && $d->{description} eq "Old data" && $d->{entryCount} == 1
        && !defined $d->{author} && !defined $d->{copyright} && !defined $d->{priority}
        && $d->{totalSize} == 5 && $d->{fileSize} == 132'
    run 0 list --json "$work/old.pod"
    json_check "$work/out" '@$d == 1 && $d->[0]{name} eq "ART\\F1.PBM" && $d->[0]{offset} == 127
        && $d->[0]{time} eq "2003-04-28T12:00:00Z"'
    run 0 cat "$work/old.pod" art/f1.pbm
    [ "$(cat "$work/out")" = hello ] || fail "cat gave $(cat "$work/out")"

    # Output that cannot be written is a failure like any other.
    "$cli" list "$work/old.pod" >/dev/full 2>"$work/err" && fail "list to a full device succeeded"
    expect_stderr "quillomar-cli: No space left on device"$'\n'"==> standard output"
    "$cli" cat "$work/old.pod" art/f1.pbm >/dev/full 2>"$work/err" && fail "cat to a full device succeeded"
    expect_stderr "quillomar-cli: No space left on device"$'\n'"==> standard output"
    ;;

*)
    fail "unknown case"
    ;;
esac
exit 0
