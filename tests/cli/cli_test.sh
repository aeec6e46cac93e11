#!/usr/bin/env bash
# Drives the built quillomar-cli the way a user does. Usage: cli_test.sh PATH-TO-quillomar-cli CASE
set -uo pipefail

cli=$1
case_name=$2
work=$(mktemp -d)
trap 'chmod -R u+rwX "$work" 2>/dev/null; rm -rf "$work"' EXIT

source "$(dirname "${BASH_SOURCE[0]}")/testlib.sh"

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

# make_pod3 FILE NAME...: a POD3 archive holding one byte "x" per stored name (code-page bytes as
# given), each dated 2003-04-28 12:00:00 UTC, whatever a writer would refuse. POD_DESCRIPTION and
# POD_AUTHOR set those header texts.
make_pod3() {
    perl -e '
        my ($file, @names) = @ARGV;
        my $n = @names;
        my $names = join("", map { "$_\0" } @names);
        my $dir = "";
        my $offset = 0;
        for my $i (0 .. $n - 1) {
            $dir .= pack("V V V V V", $offset, 1, 288 + $i, 0x3EC6C54C, 0);
            $offset += length($names[$i]) + 1;
        }
        my $header = pack("a4 V a80 V V V V a80 a80 V V V V V V", "POD3", 0,
                          $ENV{POD_DESCRIPTION} // "Made by hand", $n, 0, 1000, 1000, $ENV{POD_AUTHOR} // "", "",
                          288 + $n, 0, length($names), 0, 0xFFFFFFFF, 0);
        open my $f, ">", $file or die;
        binmode $f;
        print $f $header, "x" x $n, $dir, $names;' "$@"
}

# A tree for patterns: accented names in two folders, a name holding brackets.
make_pattern_tree() {
    local root=$1
    mkdir -p "$root/Café" "$root/Sub/deep"
    printf 'a' >"$root/a.txt"
    printf 'r' >"$root/readme"
    printf 'e' >"$root/Café/été.txt"
    printf 'm' >"$root/Café/menu[1].txt"
    printf 'b' >"$root/Sub/b.txt"
    printf 'c' >"$root/Sub/deep/c.txt"
    printf 'd' >"$root/Sub/deep/é.dat"
}

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
    expect_stderr "quillomar-cli: File exists"$'\n'"==> $archive"$'\n'"    --force replaces it once the new archive is complete"
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
    # --dry-run opens every file and lists every folder first, and foretells that exit status.
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
    "${as_user[@]}" "$cli" pack --dry-run -q "$work/src" >"$work/out" 2>"$work/err"
    [ $? -eq 1 ] || fail "--dry-run with an unreadable file did not exit 1"
    expect_stderr "quillomar-cli: Permission denied"$'\n'"==> $work/src/two"
    "${as_user[@]}" "$cli" pack -q "$work/src" >"$work/out" 2>"$work/err"
    [ $? -eq 1 ] || fail "pack with an unreadable file did not exit 1"
    expect_stderr "quillomar-cli: Permission denied"$'\n'"==> $work/src/two"
    run 0 list "$work/src/my_pod_name.pod"
    [ "$(cat "$work/out")" = ONE ] || fail "list gave: $(cat "$work/out")"
    # A folder that cannot be listed.
    rm "$work/src/two" "$work/src/my_pod_name.pod"
    mkdir "$work/src/closed"
    chmod 000 "$work/src/closed"
    "${as_user[@]}" "$cli" pack --dry-run "$work/src" >"$work/out" 2>"$work/err"
    [ $? -eq 1 ] || fail "--dry-run with a folder that cannot be listed did not exit 1"
    expect_stderr "quillomar-cli: Permission denied"$'\n'"==> $work/src/closed"
    # A log that cannot be written (a folder has its name) is reported; the archive is still packed.
    rm -rf "$work/src/closed"
    mkdir "$work/src/my_pod_name.txt"
    run 1 pack -q --log "$work/src"
    expect_stderr "quillomar-cli: Is a directory"$'\n'"==> $work/src/my_pod_name.txt"
    run 0 list "$work/src/my_pod_name.pod"
    [ "$(cat "$work/out")" = ONE ] || fail "list gave: $(cat "$work/out")"
    ;;

usage)
    mkdir -p "$work/src" && printf 'x' >"$work/src/f"
    run 2
    run 2 frobnicate x.pod
    expect_stderr_has "unknown verb 'frobnicate'"
    run 2 list
    run 2 list --bogus a.pod
    run 2 diff a.pod
    run 2 verify
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
    cp "$work/out" "$work/help"
    run 0 help
    cmp -s "$work/out" "$work/help" || fail "help differs from --help"
    # help VERB is VERB --help.
    for verb in pack info list extract cat verify diff help; do
        run 0 "$verb" --help
        grep -q 'quillomar-cli '"$verb" "$work/out" || fail "$verb --help shows no example"
        cp "$work/out" "$work/help"
        run 0 help "$verb"
        cmp -s "$work/out" "$work/help" || fail "help $verb differs from $verb --help"
    done
    run 2 help frobnicate
    expect_stderr_has "unknown verb 'frobnicate'"
    run 0 --version
    grep -q '1\.0\.0\.0' "$work/out" && grep -q 'Quillomar for Korvane' "$work/out" || fail "--version: $(cat "$work/out")"
    ;;

cat)
    make_tree "$work/src"
    "$cli" pack -q "$work/src" -o "$work/a.pod" || fail "pack failed"
    run 0 cat "$work/a.pod" 'sub\big.bin'
    cmp -s "$work/out" "$work/src/Sub/Big.bin" || fail "cat gave other bytes"
    run 0 cat "$work/a.pod" SUB/DEEP/EMPTY
    [ ! -s "$work/out" ] || fail "cat of an empty entry wrote bytes"
    # Several operands, a folder and a pattern: every chosen entry once, in directory order.
    run 0 cat "$work/a.pod" 'sub/d*' a.txt '**/*.TXT'
    [ "$(cat "$work/out")" = "hello"$'\n'"accent" ] || fail "cat of several entries gave: $(cat "$work/out")"
    run 1 cat "$work/a.pod" a.txt nothing
    [ "$(cat "$work/out")" = hello ] || fail "cat wrote nothing for the operand that matched"
    expect_stderr "quillomar-cli: no entry matches: nothing"
    ;;

verify)
    make_tree "$work/src"
    "$cli" pack -q "$work/src" -o "$work/a.pod" || fail "pack failed"
    run 0 verify "$work/a.pod"
    grep -qx "$work/a.pod: OK, POD3, 5 entries, 3145749 bytes of data, [0-9]* bytes in all" "$work/out" ||
        fail "verify: $(cat "$work/out")"

    # Every verb names the file it refuses.
    head -c 2000 "$work/a.pod" >"$work/cut.pod"
    printf 'PK\003\004 not an archive' >"$work/zip.pod"
    for verb in verify list info extract cat; do
        operand=(a.txt)
        [ "$verb" = info ] && operand=()
        run 1 "$verb" "$work/cut.pod" "${operand[@]}"
        expect_stderr_has "quillomar-cli: $work/cut.pod: This POD file is damaged or incomplete !"
        [ "$(wc -l <"$work/err")" -ge 2 ] || fail "$verb: the reason is missing"
        run 1 "$verb" "$work/zip.pod" "${operand[@]}"
        expect_stderr_has "quillomar-cli: $work/zip.pod: This file is not a POD3 ou POD2 format file !"
    done
    # English whatever the locale: the string-table messages and the system's texts alike, never
    # French system texts among English messages.
    LC_ALL=fr_FR.UTF-8 run 1 verify "$work/cut.pod" "$work/none.pod"
    expect_stderr_has "quillomar-cli: $work/cut.pod: This POD file is damaged or incomplete !"
    expect_stderr_has "quillomar-cli: No such file or directory"$'\n'"==> $work/none.pod"
    grep -qx "$work/none.pod: cannot be read: No such file or directory" "$work/out" || fail "verdict: $(cat "$work/out")"

    # Several archives: one verdict line each, starting with its path; exit 1 when any failed.
    run 1 verify "$work/a.pod" "$work/cut.pod" "$work/zip.pod" "$work/none.pod" "$work/a.pod"
    verdicts=$(sed -E 's/: (OK|damaged|not a|cannot be read).*/: \1/' "$work/out")
    [ "$verdicts" = "$work/a.pod: OK"$'\n'"$work/cut.pod: damaged"$'\n'"$work/zip.pod: not a"$'\n'"$work/none.pod: cannot be read"$'\n'"$work/a.pod: OK" ] ||
        fail "verdicts: $(cat "$work/out")"
    grep -qx "$work/none.pod: cannot be read: No such file or directory" "$work/out" || fail "no reason for a missing file"
    expect_stderr_has "quillomar-cli: 3 of 5 archives failed verification"
    run 0 verify "$work/a.pod" "$work/a.pod"
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

fields_past_2gib)
    # A sparse POD2 archive just over 2 GiB: one entry's data lies past 2 GiB, another holds
    # 2 GiB. The format's 32-bit sizes and offsets print unsigned in every output, and the entry
    # beyond 2 GiB reads back.
    perl -e '
        my $header = pack("a4 V a80 V V", "POD2", 0, "Big fields", 3, 0);
        my $dir = pack("V V V V V", 0, 3, 182, 0x3EC6C54C, 0)
                . pack("V V V V V", 8, 4, 0x80000010, 0x3EC6C54C, 0)
                . pack("V V V V V", 17, 0x80000000, 0, 0x3EC6C54C, 0);
        print $header, $dir, "LOW.TXT\0HIGH.TXT\0HUGE.BIN\0", "low";' >"$work/big.pod"
    truncate -s $((0x80000100)) "$work/big.pod"
    printf HIGH | dd of="$work/big.pod" bs=1 seek=$((0x80000010)) conv=notrunc status=none
    expect_out() {
        [ "$(cat "$work/out")" = "$1" ] || fail "output was [$(cat "$work/out")], expected [$1]"
    }
    run 0 list -l "$work/big.pod"
    expect_out "         3  2003-04-28 12:00:00  LOW.TXT
         4  2003-04-28 12:00:00  HIGH.TXT
2147483648  2003-04-28 12:00:00  HUGE.BIN"
    run 0 list --json "$work/big.pod"
    expect_out '[
  {"name": "LOW.TXT", "size": 3, "offset": 182, "time": "2003-04-28T12:00:00Z"},
  {"name": "HIGH.TXT", "size": 4, "offset": 2147483664, "time": "2003-04-28T12:00:00Z"},
  {"name": "HUGE.BIN", "size": 2147483648, "offset": 0, "time": "2003-04-28T12:00:00Z"}
]'
    run 0 info "$work/big.pod"
    expect_out "Archive:     $work/big.pod
Version:     2 (POD2)
Description: Big fields
Entries:     3
Total size:  2147483655 bytes (2097152 kB)
File size:   2147483904 bytes"
    run 0 info --json "$work/big.pod"
    json_check "$work/out" '$d->{totalSize} == 2147483655 && $d->{fileSize} == 2147483904'
    run 0 verify "$work/big.pod"
    expect_out "$work/big.pod: OK, POD2, 3 entries, 2147483655 bytes of data, 2147483904 bytes in all
$work/big.pod: warning: 1 entry shares data with another entry (first LOW.TXT with HUGE.BIN): extraction writes 2147483655 bytes"
    run 0 cat "$work/big.pod" HIGH.TXT
    expect_out HIGH
    run 0 extract -q "$work/big.pod" HIGH.TXT LOW.TXT -C "$work/x"
    [ "$(cat "$work/x/HIGH.TXT")$(cat "$work/x/LOW.TXT")" = HIGHlow ] || fail "extracted the wrong bytes"
    ;;

patterns)
    make_pattern_tree "$work/src"
    "$cli" pack -q "$work/src" -o "$work/a.pod" || fail "pack failed"
    # operands | entries listed (with --slash), or "!" when the operand must match nothing. How a
    # pattern matches a stored name is the name-pattern tests' matter; these rows cover what the
    # command line adds: operands in UTF-8 with either separator, a folder operand, a literal name
    # holding brackets, and an operand that matches nothing.
    rows=(
        'CAFÉ\ÉTÉ.TXT|CAFÉ/ÉTÉ.TXT'
        'café/été.txt|CAFÉ/ÉTÉ.TXT'
        'Sub\|SUB/B.TXT SUB/DEEP/C.TXT SUB/DEEP/É.DAT'
        '**/é*|CAFÉ/ÉTÉ.TXT SUB/DEEP/É.DAT'
        'café/menu[1].txt|CAFÉ/MENU[1].TXT'
        'café/menu[0-9].txt|!'
        'readme/|!'
    )
    for row in "${rows[@]}"; do
        operand=${row%%|*}
        expected=${row#*|}
        if [ "$expected" = '!' ]; then
            run 1 list --slash "$work/a.pod" "$operand"
            expect_stderr "quillomar-cli: no entry matches: $operand"
            [ ! -s "$work/out" ] || fail "[$operand] listed $(cat "$work/out")"
        else
            run 0 list --slash "$work/a.pod" "$operand"
            [ "$(tr '\n' ' ' <"$work/out")" = "$expected " ] || fail "[$operand] listed: $(tr '\n' ' ' <"$work/out")"
        fi
    done

    # The same operands choose the same entries for extract (cat's operands: the cat case); an
    # unmatched one is reported after the others are done.
    run 1 extract -q "$work/a.pod" -C "$work/out1" 'café\É*' '**/*.dat' 'nothing*'
    expect_stderr "quillomar-cli: no entry matches: nothing*"
    [ "$(cd "$work/out1" && find . -type f | sort | tr '\n' ' ')" = "./CAFÉ/ÉTÉ.TXT ./SUB/DEEP/É.DAT " ] ||
        fail "extracted: $(cd "$work/out1" && find . -type f)"
    ;;

names)
    make_pattern_tree "$work/src"
    "$cli" pack -q "$work/src" -o "$work/a.pod" || fail "pack failed"
    run 0 list --slash "$work/a.pod" sub
    [ "$(cat "$work/out")" = $'SUB/B.TXT\nSUB/DEEP/C.TXT\nSUB/DEEP/É.DAT' ] || fail "--slash: $(cat "$work/out")"
    run 0 list -0 "$work/a.pod" sub
    [ "$(tr '\0' '|' <"$work/out")" = 'SUB\B.TXT|SUB\DEEP\C.TXT|SUB\DEEP\É.DAT|' ] || fail "-0: $(tr '\0' '|' <"$work/out")"
    run 0 list --null -l --slash "$work/a.pod" readme
    [ "$(tr '\0' '|' <"$work/out" | sed 's/  */ /g')" = ' 1 2003-04-28 12:00:00 README|' ] ||
        [ "$(tr '\0' '|' <"$work/out" | grep -c 'README|$')" -eq 1 ] || fail "-0 -l: $(tr '\0' '|' <"$work/out")"
    # Names straight into xargs -0, as a script takes them.
    "$cli" list --slash -0 "$work/a.pod" | (cd "$work" && xargs -0 -n1 printf '[%s]') >"$work/xargs" ||
        fail "list | xargs -0 failed"
    [ "$(cat "$work/xargs")" = '[A.TXT][CAFÉ/MENU[1].TXT][CAFÉ/ÉTÉ.TXT][README][SUB/B.TXT][SUB/DEEP/C.TXT][SUB/DEEP/É.DAT]' ] ||
        fail "xargs saw: $(cat "$work/xargs")"
    run 0 list --json --slash "$work/a.pod" 'sub/deep'
    json_check "$work/out" '@$d == 2 && $d->[1]{name} eq "SUB/DEEP/\x{c9}.DAT"'

    # Names are read in the archive code page: byte 0xC9 is É in 1252 and Й in 1251.
    run 0 --codepage 1251 list "$work/a.pod" sub/deep
    grep -qx 'SUB\\DEEP\\Й.DAT' "$work/out" || fail "--codepage 1251 ignored: $(cat "$work/out")"
    QUILLOMAR_CODEPAGE=1251 run 0 list "$work/a.pod" sub/deep
    grep -qx 'SUB\\DEEP\\Й.DAT' "$work/out" || fail "QUILLOMAR_CODEPAGE ignored"
    ;;

lowercase)
    make_pattern_tree "$work/src"
    "$cli" pack -q "$work/src" -o "$work/a.pod" || fail "pack failed"
    run 0 extract -q --lowercase "$work/a.pod" -C "$work/low"
    [ "$(cd "$work/low" && find . -type f | sort | tr '\n' ' ')" = "./a.txt ./café/menu[1].txt ./café/été.txt ./readme ./sub/b.txt ./sub/deep/c.txt ./sub/deep/é.dat " ] ||
        fail "extracted: $(cd "$work/low" && find . | sort)"
    # The lower-case tree is the modder's own sources again, byte for byte.
    diff -r "$work/low/café" "$work/src/Café" >/dev/null || fail "bytes differ after --lowercase"
    # Lowering follows the archive code page (CodePage.LowerCasesWithinTheCodePage), which
    # --codepage chooses (the names case).
    ;;

dryrun)
    # One problem of each kind.
    src=$work/src
    long=$(printf 'n%.0s' $(seq 1 130))
    mkdir -p "$src/A" "$src/$long/$long"
    printf '1' >"$src/a"                          # a file ...
    printf '2' >"$src/A/b"                        # ... and a folder of one stored name
    printf '3' >"$src/x.txt"
    printf '4' >"$src/X.TXT"                      # two files of one stored name
    printf '5' >"$src/日本.txt"                   # a name code page 1252 cannot hold
    printf '6' >"$src/back\\slash"                # a '\' in a name
    printf '7' >"$src/$long/$long/tail.txt"       # 270 bytes: a stored name over 259 bytes
    truncate -s 2G "$src/big1"                    # together: an archive over 2 GiB - 1 bytes
    truncate -s 4G "$src/huge"                    # a file of 4 GiB
    run 1 pack "$src" --dry-run
    [ ! -e "$src/my_pod_name.pod" ] || fail "--dry-run wrote an archive"
    [ -z "$(find "$src" -name '.*')" ] || fail "--dry-run left a file behind"
    for expected in \
        "File exists"$'\n'"==> $src/a"$'\n'"==> $src/A"$'\n'"    a file and a folder would have one stored name" \
        "File exists"$'\n'"==> $src/x.txt"$'\n'"==> $src/X.TXT"$'\n'"    these two would be one stored name" \
        "Invalid or incomplete multibyte or wide character"$'\n'"==> $src/日本.txt"$'\n'"    code page 1252 cannot hold this name (--codepage chooses another)" \
        "Invalid argument"$'\n'"==> $src/back\\slash" \
        "File name too long"$'\n'"==> $src/$long/$long/tail.txt"$'\n'"    the stored name would be 270 bytes long" \
        "File too large"$'\n'"==> $src/huge"$'\n'"    the file has 4294967296 bytes; an entry holds less than 4 GiB" \
        "File too large"$'\n'"==> $src/my_pod_name.pod"$'\n'"    the archive would have "; do
        grep -qzF -- "$expected" "$work/err" || fail "--dry-run did not report [$expected]"
    done
    [ "$(grep -c '^quillomar-cli: ' "$work/err")" -eq 7 ] || fail "expected 7 problems"
    grep -qE '^9 files in 4 folders, [0-9]+ bytes: the archive would be [0-9]+ bytes$' "$work/out" ||
        fail "summary: $(cat "$work/out")"

    # pack itself reports the same problems, then refuses.
    cp "$work/err" "$work/dry.err"
    run 1 pack -q "$src"
    cmp -s "$work/err" "$work/dry.err" || fail "pack reported otherwise than --dry-run: $(cat "$work/err")"
    [ ! -e "$src/my_pod_name.pod" ] || fail "pack wrote an archive"

    # A folder pack takes: exit 0, and the size foretold is the size written.
    mkdir -p "$work/good/sub"
    printf 'hello' >"$work/good/a.txt"
    printf 'x%.0s' $(seq 1 1000) >"$work/good/sub/b.bin"
    run 0 pack "$work/good" --dry-run -o "$work/good.pod"
    [ ! -e "$work/good.pod" ] || fail "--dry-run wrote the archive"
    grep -qx '2 files in 2 folders, 1005 bytes: the archive would be 1349 bytes' "$work/out" || fail "summary: $(cat "$work/out")"
    run 0 pack -q "$work/good" -o "$work/good.pod"
    [ "$(stat -c %s "$work/good.pod")" -eq 1349 ] || fail "the archive has $(stat -c %s "$work/good.pod") bytes"
    # An existing archive would be refused, so the dry run fails too; with --force it passes.
    run 1 pack "$work/good" --dry-run -o "$work/good.pod"
    expect_stderr_has "==> $work/good.pod"
    run 0 pack "$work/good" --dry-run --force -o "$work/good.pod"
    ;;

exclude)
    src=$work/src
    mkdir -p "$src/.git/objects" "$src/art/old" "$src/sub/.git" "$src/Notes"
    for f in .git/HEAD .git/objects/ab art/plane.psd art/plane.pbm art/old/x.pbm sub/.git/HEAD sub/OLD.POD \
             keep.txt old.pod Notes/n.txt sub/s.psd; do
        printf '%s' "$f" >"$src/$f"
    done
    # --exclude arguments | entries packed
    rows=(
        '--exclude .git|ART/OLD/X.PBM ART/PLANE.PBM ART/PLANE.PSD KEEP.TXT NOTES/N.TXT OLD.POD SUB/OLD.POD SUB/S.PSD'
        '--exclude .git --exclude *.psd --exclude *.POD|ART/OLD/X.PBM ART/PLANE.PBM KEEP.TXT NOTES/N.TXT'
        '--exclude art/*.p?d --exclude **/.GIT|ART/OLD/X.PBM ART/PLANE.PBM KEEP.TXT NOTES/N.TXT OLD.POD SUB/OLD.POD SUB/S.PSD'
        '--exclude art --exclude sub --exclude .git --exclude notes/|KEEP.TXT OLD.POD'
        '--exclude keep.txt/ --exclude [.ans]*|KEEP.TXT OLD.POD'
    )
    for row in "${rows[@]}"; do
        read -r -a args <<<"${row%%|*}"
        rm -f "$work/x.pod"
        run 0 pack -q "$src" -o "$work/x.pod" "${args[@]}"
        run 0 list --slash "$work/x.pod"
        [ "$(tr '\n' ' ' <"$work/out")" = "${row#*|} " ] || fail "[${row%%|*}] packed: $(tr '\n' ' ' <"$work/out")"
    done
    # Excluded folders are not counted either.
    rm -f "$work/x.pod"
    run 0 pack "$src" -o "$work/x.pod" --exclude .git --exclude sub --exclude art --exclude notes
    grep -qF ': 2 files, 0 kB, 0 sub-folders' "$work/out" || fail "summary: $(cat "$work/out")"
    ;;

force)
    mkdir -p "$work/src"
    printf 'one' >"$work/src/f"
    run 0 pack -q "$work/src" -o "$work/a.pod"
    cp "$work/a.pod" "$work/first.pod"
    printf 'two!' >"$work/src/f"
    # A refused pack leaves the old archive as it was.
    printf 'x' >"$work/src/日本"
    run 1 pack -q --force "$work/src" -o "$work/a.pod"
    cmp -s "$work/a.pod" "$work/first.pod" || fail "a refused --force changed the archive"
    rm "$work/src/日本"
    run 0 pack -q --force "$work/src" -o "$work/a.pod"
    run 0 cat "$work/a.pod" f
    [ "$(cat "$work/out")" = 'two!' ] || fail "--force did not replace: $(cat "$work/out")"
    [ "$(ls -A "$work" | tr '\n' ' ')" = "a.pod err first.pod out src " ] || fail "left behind: $(ls -A "$work")"
    # A folder in the way is not replaced, and --dry-run says so beforehand.
    mkdir "$work/dir.pod"
    run 1 pack --dry-run --force "$work/src" -o "$work/dir.pod"
    expect_stderr "quillomar-cli: Is a directory"$'\n'"==> $work/dir.pod"
    run 1 pack -q --force "$work/src" -o "$work/dir.pod"
    [ -d "$work/dir.pod" ] && [ -z "$(ls -A "$work/dir.pod")" ] || fail "the folder was changed"
    [ "$(ls -A "$work" | tr '\n' ' ')" = "a.pod dir.pod err first.pod out src " ] || fail "left behind: $(ls -A "$work")"
    # The archive being replaced is never packed: a repack of an unchanged folder into its default
    # archive inside it gives the same bytes, however often it is made.
    mkdir -p "$work/in/sub"
    printf 'data' >"$work/in/sub/f"
    run 0 pack -q "$work/in"
    cp "$work/in/my_pod_name.pod" "$work/once.pod"
    for round in 1 2; do
        run 0 pack --force "$work/in"
        expect_stderr "quillomar-cli: $work/in/my_pod_name.pod: file is the archive; not packed"
        cmp -s "$work/in/my_pod_name.pod" "$work/once.pod" || fail "repack $round differs: $(cat "$work/out")"
    done
    # Under another name (a link) it is still the archive.
    mv "$work/in/my_pod_name.pod" "$work/in/sub/real.pod"
    ln -s sub/real.pod "$work/in/my_pod_name.pod"
    run 1 pack -q --force "$work/in"
    expect_stderr_has "==> $work/in/my_pod_name.pod"
    run 0 pack -q --force "$work/in" -o "$work/in/sub/real.pod"
    run 0 list "$work/in/sub/real.pod"
    [ "$(cat "$work/out")" = 'SUB\F' ] || fail "the replaced archive was packed: $(cat "$work/out")"
    ;;

like)
    mkdir -p "$work/src"
    printf 'x' >"$work/src/f"
    "$cli" pack -q "$work/src" -o "$work/old.pod" --description 'Old desc' --author 'Old author' \
        --copyright '(c) old' --priority 1234 || fail "pack failed"
    run 0 pack -q "$work/src" -o "$work/new.pod" --like "$work/old.pod" --author 'New author'
    run 0 info --json "$work/new.pod"
    json_check "$work/out" '$d->{description} eq "Old desc" && $d->{author} eq "New author"
        && $d->{copyright} eq "(c) old" && $d->{priority} == 1234'
    run 0 pack -q "$work/src" -o "$work/new2.pod" --like "$work/old.pod" --priority 5 --description D --copyright C
    run 0 info --json "$work/new2.pod"
    json_check "$work/out" '$d->{description} eq "D" && $d->{author} eq "Old author" && $d->{copyright} eq "C"
        && $d->{priority} == 5'
    run 1 pack -q "$work/src" -o "$work/new3.pod" --like "$work/missing.pod"
    [ ! -e "$work/new3.pod" ] || fail "packed without the archive to take the header from"
    # Header texts: 79 bytes in the code page fit (79 accented letters are 158 bytes of UTF-8);
    # one byte more is refused with the field and the limit, by --dry-run too.
    e79=$(printf 'é%.0s' $(seq 1 79))
    run 0 pack -q "$work/src" -o "$work/full.pod" --author "$e79" --description "$(printf 'd%.0s' $(seq 1 79))"
    run 0 info --json "$work/full.pod"
    json_check "$work/out" 'length($d->{author}) == 79 && length($d->{description}) == 79'
    for dry in "" --dry-run; do
        # shellcheck disable=SC2086
        run 1 pack -q $dry "$work/src" -o "$work/long.pod" --copyright "${e79}x" --author "$(printf 'a%.0s' $(seq 1 90))"
        expect_stderr "quillomar-cli: --author: the text is 90 bytes in code page 1252; the header field holds at most 79"$'\n'"quillomar-cli: --copyright: the text is 80 bytes in code page 1252; the header field holds at most 79"
        [ ! -e "$work/long.pod" ] || fail "an over-long header text was cut and packed"
    done
    ;;

changed_from)
    # The modder's round trip: extract the game's archive, edit three files, add one, and pack
    # exactly those four into an override archive.
    mkdir -p "$work/game/data/maps"
    for i in 1 2 3 4 5 6; do printf 'map %s\n' "$i" >"$work/game/data/maps/m$i.map"; done
    printf 'hello' >"$work/game/readme.txt"
    printf 'same size' >"$work/game/data/const.ini"
    "$cli" pack -q "$work/game" -o "$work/base.pod" || fail "pack failed"
    run 0 extract -q --lowercase "$work/base.pod" -C "$work/edit"
    printf 'map 2 changed\n' >"$work/edit/data/maps/m2.map"      # longer
    printf 'SAME SIZE' >"$work/edit/data/const.ini"                # same size, other bytes
    printf 'hello, world' >"$work/edit/readme.txt"
    printf 'new' >"$work/edit/data/maps/m7.map"                   # added
    touch -d '2020-01-01' "$work/edit/data/maps/m1.map"            # only the time: the same
    run 0 pack "$work/edit" --changed-from "$work/base.pod" --dry-run
    [ "$(cat "$work/out")" = "data/const.ini"$'\n'"data/maps/m2.map"$'\n'"data/maps/m7.map"$'\n'"readme.txt"$'\n'"4 of 9 files differ from $work/base.pod, 5 are the same"$'\n'"4 files in 3 folders, 38 bytes: the archive would be 466 bytes" ] ||
        fail "--dry-run listed: $(cat "$work/out")"
    [ -z "$(find "$work/edit" -name '*.pod')" ] || fail "--dry-run wrote an archive"
    run 0 pack -v "$work/edit" -o "$work/patch.pod" --changed-from "$work/base.pod"
    grep -qx "readme.txt" "$work/out" && grep -qx "4 of 9 files differ from $work/base.pod, 5 are the same" "$work/out" ||
        fail "-v: $(cat "$work/out")"
    run 0 list --slash "$work/patch.pod"
    [ "$(tr '\n' ' ' <"$work/out")" = "DATA/CONST.INI DATA/MAPS/M2.MAP DATA/MAPS/M7.MAP README.TXT " ] ||
        fail "the patch holds: $(cat "$work/out")"
    run 0 cat "$work/patch.pod" data/const.ini
    [ "$(cat "$work/out")" = 'SAME SIZE' ] || fail "wrong bytes"
    # The summary counts the patch, not the scanned tree: one file, in no sub-folder.
    cp -r "$work/game" "$work/one"
    printf 'changed' >"$work/one/readme.txt"
    run 0 pack "$work/one" -o "$work/one.pod" --changed-from "$work/base.pod"
    [ "$(cat "$work/out")" = "1 of 8 files differ from $work/base.pod, 7 are the same"$'\n'"$work/one.pod: 1 file, 0 kB, 0 sub-folders" ] ||
        fail "summary of a one-file patch: $(cat "$work/out")"
    # Nothing changed: nothing to pack.
    run 1 pack -q "$work/game" -o "$work/none.pod" --changed-from "$work/base.pod"
    expect_stderr "quillomar-cli: $work/game: no file differs from $work/base.pod"
    [ ! -e "$work/none.pod" ] || fail "an empty patch was written"
    ;;

diff)
    mkdir -p "$work/a/d" "$work/b/D"
    printf 'same' >"$work/a/same";          printf 'same' >"$work/b/same"
    printf 'gone' >"$work/a/gone"
    printf 'new' >"$work/b/new"
    printf 'abcd' >"$work/a/bytes";          printf 'abce' >"$work/b/bytes"      # same size, other bytes
    printf 'short' >"$work/a/d/size";        printf 'longer' >"$work/b/D/size"
    printf 'time' >"$work/a/time";           printf 'time' >"$work/b/time"
    touch -d '2003-04-28 12:00:00 UTC' "$work"/a/* "$work"/b/* "$work/a/d/size" "$work/b/D/size"
    touch -d '2004-01-01 12:00:00 UTC' "$work/b/time"
    "$cli" pack -q "$work/a" -o "$work/a.pod" --author Ann || fail "pack a failed"
    "$cli" pack -q "$work/b" -o "$work/b.pod" --author Bob --priority 7 || fail "pack b failed"
    run 1 diff "$work/a.pod" "$work/b.pod"
    [ "$(cat "$work/out")" = 'author: "Ann" -> "Bob"
priority: 1000 -> 7
M BYTES
M D\SIZE
- GONE
+ NEW
T TIME' ] || fail "diff: $(cat "$work/out")"
    run 1 diff --json "$work/a.pod" "$work/b.pod"
    json_check "$work/out" '!$d->{same} && @{$d->{header}} == 2 && $d->{header}[1]{field} eq "priority"
        && $d->{header}[1]{a} == 1000 && $d->{header}[1]{b} == 7 && @{$d->{entries}} == 5
        && $d->{entries}[2]{change} eq "-" && $d->{entries}[2]{name} eq "GONE"'
    # Names compare in any case and with either separator; the same archive differs in nothing.
    make_pod3 "$work/upper.pod" 'D\X.TXT' 'README'
    make_pod3 "$work/lower.pod" 'readme' 'd/x.txt'
    run 0 diff "$work/upper.pod" "$work/lower.pod"
    [ ! -s "$work/out" ] || fail "case or separators made a difference: $(cat "$work/out")"
    run 0 diff --json "$work/a.pod" "$work/a.pod"
    json_check "$work/out" '$d->{same} && !@{$d->{entries}} && !@{$d->{header}}'
    # Every entry counts, a second one under a name too.
    make_pod3 "$work/twice.pod" 'ok.txt' 'OK.TXT'
    make_pod3 "$work/once.pod" 'OK.TXT'
    run 1 diff "$work/twice.pod" "$work/once.pod"
    [ "$(cat "$work/out")" = '- ok.txt' ] || fail "diff with a duplicate: $(cat "$work/out")"
    run 1 diff --json "$work/once.pod" "$work/twice.pod"
    json_check "$work/out" '!$d->{same} && @{$d->{entries}} == 1 && $d->{entries}[0]{change} eq "+"'
    # Trouble is 2, as for diff(1).
    run 2 diff "$work/a.pod" "$work/missing.pod"
    expect_stderr "quillomar-cli: No such file or directory"$'\n'"==> $work/missing.pod"
    ;;

verify_extractable)
    # Archives whose structure is sound but whose entries cannot all be extracted here.
    long=$(perl -e 'print "\xC9" x 200')     # 200 bytes stored, 400 bytes of UTF-8 once converted
    make_pod3 "$work/ok.pod" 'A\B' 'A\C' 'D'
    # K and k land on two paths here: the host tells letter case apart.
    make_pod3 "$work/bad.pod" 'A' 'A\B' 'X\Y' 'X/Y' "L\\$long" '..\ESCAPE' 'K' 'k'
    run 0 verify "$work/ok.pod"
    run 1 verify "$work/bad.pod" "$work/ok.pod"
    [ "$(cat "$work/out")" = "$work/bad.pod: A: is a file and also the folder of A/B
$work/bad.pod: X/Y: lands on the same path as X/Y (X/Y)
$work/bad.pod: L/$(perl -e 'print "\xC3\x89" x 200'): a folder or file name is over 255 bytes in UTF-8
$work/bad.pod: ../ESCAPE: unsafe name (\"..\", a leading separator or a drive), refused by extraction
$work/bad.pod: 4 entries cannot be extracted here
$work/ok.pod: OK, POD3, 3 entries, 3 bytes of data, 361 bytes in all" ] || fail "verify: $(cat "$work/out")"
    expect_stderr "quillomar-cli: 1 of 2 archives failed verification"
    ;;

overwrites)
    # Entries landing on one path: the later wins on disk, each one it replaced is named, exit 1.
    make_pod3 "$work/dup.pod" 'ok.txt' 'A\B.TXT' 'OK.TXT' 'A\.\B.TXT' 'Ok.Txt' 'C.TXT'
    run 1 extract "$work/dup.pod" -C "$work/dest"
    expect_stderr "quillomar-cli: written over by a later entry: A/B.TXT"
    [ -f "$work/dest/ok.txt" ] && [ -f "$work/dest/OK.TXT" ] && [ -f "$work/dest/C.TXT" ] || fail "entries missing"
    # Lower-cased, the three spellings are one path.
    run 1 extract --lowercase "$work/dup.pod" -C "$work/low"
    expect_stderr "quillomar-cli: written over by a later entry: ok.txt
quillomar-cli: written over by a later entry: A/B.TXT
quillomar-cli: written over by a later entry: OK.TXT"
    [ "$(ls "$work/low" | tr '\n' ' ')" = 'a c.txt ok.txt ' ] || fail "lowercase gave: $(ls "$work/low")"
    # Distinct names only: exit 0 and not a word.
    run 0 extract "$work/dup.pod" -C "$work/some" C.TXT OK.TXT
    expect_stderr ""
    ;;

shared_data)
    # 300 entries over one range of 4 KiB: verify warns and passes, extract warns and goes on.
    make_pod3 "$work/one.pod" DATA
    perl -e '
        my ($file) = @ARGV;
        my $n = 300;
        my $names = join("", map { "E$_\0" } 0 .. $n - 1);
        my ($dir, $offset) = ("", 0);
        for my $i (0 .. $n - 1) {
            $dir .= pack("V V V V V", $offset, 4096, 288, 0x3EC6C54C, 0);
            $offset += length("E$i") + 1;
        }
        my $header = pack("a4 V a80 V V V V a80 a80 V V V V V V", "POD3", 0, "Shared", $n, 0, 1000,
                          1000, "", "", 288 + 4096, 0, length($names), 0, 0xFFFFFFFF, 0);
        open my $f, ">", $file or die;
        binmode $f;
        print $f $header, "d" x 4096, $dir, $names;' "$work/shared.pod"
    size=$(stat -c %s "$work/shared.pod")
    run 0 verify "$work/shared.pod"
    [ "$(sed -n 2p "$work/out")" = "$work/shared.pod: warning: 299 entries share data with another entry (first E1 with E0): extraction writes 1228800 bytes" ] ||
        fail "verify: $(cat "$work/out")"
    run 0 verify "$work/one.pod"
    [ "$(wc -l <"$work/out")" -eq 1 ] || fail "verify warned about an archive without shared data"
    run 0 extract "$work/shared.pod" -C "$work/dest"
    expect_stderr "quillomar-cli: warning: the entries share their data: extraction writes 1228800 bytes, more than 100 times the archive's $size"
    [ "$(ls "$work/dest" | wc -l)" -eq 300 ] || fail "not every entry was extracted"
    ;;

windows_names)
    # Names Windows cannot keep: this system extracts them, pack warns that a Windows user could not.
    mkdir -p "$work/src/F " "$work/src/H."
    for name in 'DOT.' 'SPACE ' 'Q"<>|.TXT' 'STAR*.TXT' 'QM?.TXT' 'F /G.TXT' 'H./I.TXT' 'nul.txt' 'fine.txt'; do
        printf x >"$work/src/$name"
    done
    for mode in --dry-run ''; do
        run 0 pack $mode -q "$work/src" -o "$work/win.pod"
        [ "$(grep -c '^quillomar-cli: warning: .*a Windows user could not extract it$' "$work/err")" -eq 8 ] ||
            fail "pack $mode warned: $(cat "$work/err")"
        expect_stderr_has 'quillomar-cli: warning: F /G.TXT: "F " ends in a dot or a blank, which Windows drops: a Windows user could not extract it'
        expect_stderr_has 'quillomar-cli: warning: nul.txt: "NUL.TXT" is a device name on Windows'
    done
    [ -f "$work/win.pod" ] || fail "pack left the archive out"
    run 0 verify "$work/win.pod"
    run 0 extract "$work/win.pod" -C "$work/dest"
    [ -f "$work/dest/H./I.TXT" ] || fail "not extracted here"
    ;;

root_folder)
    # Packing a root ("/", as a mounted drive's): in a chroot holding the tool, its libraries and
    # one data file, every name keeps its first character.
    [ "$(id -u)" -eq 0 ] && command -v chroot >/dev/null || exit 77
    root=$work/root
    mkdir -p "$root/bin" "$root/data"
    cp "$cli" "$root/bin/quillomar-cli"
    for library in $(ldd "$cli" | grep -o '/[^ ]*'); do
        mkdir -p "$root$(dirname "$library")"
        cp -L "$library" "$root$library"
    done
    printf 'alpha' >"$root/data/alpha.txt"
    chroot "$root" /bin/quillomar-cli --version >/dev/null 2>&1 || exit 77
    chroot "$root" /bin/quillomar-cli pack -q / -o /out.pod >"$work/out" 2>"$work/err" || fail "pack / failed"
    chroot "$root" /bin/quillomar-cli list /out.pod >"$work/out" 2>"$work/err" || fail "list failed"
    grep -qx 'DATA\\ALPHA.TXT' "$work/out" || fail "list gave: $(cat "$work/out")"
    grep -qx 'BIN\\QUILLOMAR-CLI' "$work/out" || fail "list gave: $(cat "$work/out")"
    ;;

not_a_file)
    # A pipe or a device named as an archive: every verb ends at once, exit 1, with the reader's reason.
    mkfifo "$work/pipe.pod"
    for verb in info list verify extract cat; do
        extra=()
        [ "$verb" = cat ] && extra=(A.TXT)
        [ "$verb" = extract ] && extra=(-C "$work/dest")
        timeout 20 "$cli" "$verb" "$work/pipe.pod" "${extra[@]}" >"$work/out" 2>"$work/err"
        status=$?
        [ "$status" -eq 1 ] || fail "$verb on a pipe exited $status"
        expect_stderr_has "quillomar-cli: Invalid argument"$'\n'"==> $work/pipe.pod"
        expect_stderr_has "quillomar-cli: $work/pipe.pod: not a regular file (a named pipe)"
    done
    for verb in info verify; do
        timeout 20 "$cli" "$verb" /dev/zero >"$work/out" 2>"$work/err"
        status=$?
        [ "$status" -eq 1 ] || fail "$verb on /dev/zero exited $status"
        expect_stderr_has "==> /dev/zero"
        expect_stderr_has "quillomar-cli: /dev/zero: not a regular file (a device)"
        grep -q 'Input/output error' "$work/err" && fail "$verb on /dev/zero made up an I/O error"
    done
    [ ! -e "$work/dest" ] || fail "extract from a pipe made its destination"
    ;;

hostile_text)
    # Names and header texts that would drive a terminal: ESC sequences, CR, BS, a line break, DEL
    # and the C1 controls code page 1252 leaves at 0x81 and 0x9D. Every line-oriented output shows
    # them escaped; -0 keeps the bytes, JSON escapes them its own way.
    no_controls() {  # no_controls FILE: no control character but the line breaks
        ! LC_ALL=C grep -qP '[\x00-\x09\x0b-\x1f\x7f]|\xc2[\x80-\x9f]' "$1" || fail "raw control in $1: $(od -c "$1" | head)"
    }
    POD_DESCRIPTION=$'T\e]0;owned\a' POD_AUTHOR=$'A\rB\x7f\x9d' \
        make_pod3 "$work/h.pod" $'ESC\e[2J' $'TWO\nLINES' $'C1\x81.TXT' $'BS\b\b' 'OK.TXT' $'..\\\e[31mUP'
    run 0 info "$work/h.pod"
    no_controls "$work/out"
    grep -qxF 'Description: T\033]0;owned\a' "$work/out" && grep -qxF 'Author:      A\rB\177\302\235' "$work/out" ||
        fail "info: $(cat "$work/out")"
    run 0 info --json "$work/h.pod"
    no_controls "$work/out"
    grep -qF '"A\rB\u007f\u009d"' "$work/out" || fail "info --json: $(cat "$work/out")"
    json_check "$work/out" '$d->{author} eq "A\rB\x{7f}\x{9d}" && $d->{description} eq "T\e]0;owned\a"'
    run 0 list "$work/h.pod"
    no_controls "$work/out"
    [ "$(cat "$work/out")" = 'ESC\033[2J'$'\n''TWO\nLINES'$'\n''C1\302\201.TXT'$'\n''BS\b\b'$'\n''OK.TXT'$'\n''..\\033[31mUP' ] ||
        fail "list: $(cat "$work/out")"
    for flags in "-l" "--slash" "-l --slash"; do
        # shellcheck disable=SC2086
        run 0 list $flags "$work/h.pod"
        no_controls "$work/out"
        [ "$(wc -l <"$work/out")" -eq 6 ] || fail "list $flags: $(cat "$work/out")"
    done
    run 0 list -0 --slash "$work/h.pod"
    [ "$(tr '\0' '|' <"$work/out")" = $'ESC\e[2J|TWO\nLINES|C1\xc2\x81.TXT|BS\b\b|OK.TXT|../\e[31mUP|' ] ||
        fail "-0 changed the names: $(od -c "$work/out")"
    run 0 list --json "$work/h.pod"
    no_controls "$work/out"
    json_check "$work/out" '$d->[2]{name} eq "C1\x{81}.TXT" && $d->[1]{name} eq "TWO\nLINES"'
    # verify names the unsafe entry; the error lines of list and extract do too.
    run 1 verify "$work/h.pod"
    no_controls "$work/out"
    no_controls "$work/err"
    grep -qF '\033[31mUP' "$work/out" || fail "verify: $(cat "$work/out")"
    run 1 list "$work/h.pod" $'NONE\e[H'
    no_controls "$work/err"
    expect_stderr 'quillomar-cli: no entry matches: NONE\033[H'
    run 1 extract -q "$work/h.pod" -C "$work/x" '..\*'
    no_controls "$work/err"
    expect_stderr_has '\033[31mUP'
    # diff: the entries only one archive holds.
    make_pod3 "$work/plain.pod" OK.TXT
    run 1 diff "$work/plain.pod" "$work/h.pod"
    no_controls "$work/out"
    grep -qxF '+ TWO\nLINES' "$work/out" && grep -qF 'description: "Made by hand" -> "T\u001b]0;owned\u0007"' "$work/out" ||
        fail "diff: $(cat "$work/out")"
    run 1 diff --json "$work/plain.pod" "$work/h.pod"
    no_controls "$work/out"
    json_check "$work/out" '$d->{header}[1]{b} eq "A\rB\x{7f}\x{9d}"'
    # A host file name with controls: the verbose pack and the problems it reports.
    mkdir -p "$work/src"
    printf 'x' >"$work/src/"$'v\e[1mv'
    printf 'y' >"$work/src/"$'\e]0;x\a\\'
    run 1 pack -v "$work/src" -o "$work/v.pod"
    no_controls "$work/out"
    no_controls "$work/err"
    grep -qxF 'v\033[1mv' "$work/out" || fail "pack -v: $(cat "$work/out")"
    expect_stderr "quillomar-cli: Invalid argument"$'\n'"==> $work/src/"'\033]0;x\a\'$'\n'"    a name holding '\\' or starting with a drive (\"C:\") cannot be stored"$'\n''quillomar-cli: warning: v\033[1mv: "V\033[1MV" holds a character Windows forbids in names (" < > | * ? or a control character): a Windows user could not extract it'
    ;;

*)
    fail "unknown case"
    ;;
esac
exit 0
