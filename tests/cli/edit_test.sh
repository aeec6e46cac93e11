#!/usr/bin/env bash
# add, rm, mv and set as a user runs them. An edit of an archive that pack wrote must give the
# very bytes pack writes from the folder changed the same way (same header fields: --like); a
# refused edit must leave the archive's bytes and time as they were.
# Usage: edit_test.sh PATH-TO-quillomar-cli CASE
set -uo pipefail

cli=$1
case_name=$2
work=$(mktemp -d)
trap 'chmod -R u+rwX "$work" 2>/dev/null; rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/testlib.sh"

# A tree whose pack order is not the byte order of its names: "A.TXT" after the folder "A",
# "B-1" before "B.TXT", "_X" after letters, accented names, an empty file, several folders deep.
make_tree() {
    local root=$1
    mkdir -p "$root/a/deep" "$root/Sub/inner" "$root/zeta"
    printf 'file a\n' >"$root/a.txt"
    printf 'in a\n' >"$root/a/one.bin"
    printf 'deep\n' >"$root/a/deep/two.bin"
    printf 'dash' >"$root/b-1"
    printf 'dot' >"$root/b.txt"
    printf 'under' >"$root/_x"
    head -c 200000 /dev/urandom >"$root/Sub/big.bin"
    : >"$root/Sub/inner/empty"
    printf 'accent' >"$root/Sub/été.txt"
    printf 'z' >"$root/zeta/last"
    find "$root" -type f -exec touch -d '2004-05-06 07:08:10 UTC' {} +
}

# The archive pack writes from $work/tree, with header fields a default pack would not have.
start() {
    make_tree "$work/tree"
    "$cli" pack -q "$work/tree" -o "$work/a.pod" --author Ann --description 'Edit me' --copyright '(c) Ann' \
        --priority 1200 || fail "pack failed"
}

# same_as_pack: a.pod holds exactly what pack writes from $work/tree now, with a.pod's header.
same_as_pack() {
    rm -f "$work/expected.pod"
    "$cli" pack -q "$work/tree" -o "$work/expected.pod" --like "$work/a.pod" || fail "pack of the edited tree failed"
    cmp "$work/a.pod" "$work/expected.pod" >&2 || {
        "$cli" list "$work/a.pod" >&2
        echo "--- pack:" >&2
        "$cli" list "$work/expected.pod" >&2
        fail "$1: not what pack writes"
    }
    "$cli" verify "$work/a.pod" >/dev/null || fail "$1: verify refused the result"
}

json_check() {  # json_check PERL-EXPRESSION-ON-$d: about the JSON in $work/out
    perl -MJSON::PP -e '
        local $/; open my $f, "<", $ARGV[0] or die; my $d = JSON::PP->new->utf8->decode(<$f>);
        exit(eval($ARGV[1]) ? 0 : 1);' "$work/out" "$1" || fail "JSON check failed: $1 on $(cat "$work/out")"
}

state() { stat -c '%s %Y %a' "$1"; md5sum <"$1"; }

case $case_name in

same_as_pack)
    # step | tree change | edit (ARCHIVE is a.pod, run in $work/new for add)
    start
    mkdir -p "$work/new/a" "$work/new/Sub" "$work/new/more/deeper"
    printf 'new a child\n' >"$work/new/a/b-new.bin"
    printf 'replaced bytes, longer than before\n' >"$work/new/Sub/été.txt"
    printf 'm' >"$work/new/more/deeper/m1"
    printf 'n' >"$work/new/more/n2"
    printf 'top' >"$work/new/_top"
    touch -d '2010-01-02 03:04:06 UTC' "$work/new/a/b-new.bin" "$work/new/more/deeper/m1"
    touch -d '2011-01-02 03:04:06 UTC' "$work/new/Sub/été.txt" "$work/new/more/n2" "$work/new/_top"
    while IFS='|' read -r step change edit; do
        [ -n "$step" ] || continue
        eval "$change"
        eval "run 0 $edit"
        same_as_pack "$step"
    done <<'ROWS'
add file inside a folder        |cp -p "$work/new/a/b-new.bin" "$work/tree/a/"                      |add "$work/a.pod" a/b-new.bin -C "$work/new"
replace a file (new size, time) |cp -p "$work/new/Sub/été.txt" "$work/tree/Sub/"                     |add "$work/a.pod" Sub/été.txt -C "$work/new"
add a folder tree               |cp -pr "$work/new/more" "$work/tree/"                               |add "$work/a.pod" more -C "$work/new"
add at the top with --as        |cp -p "$work/new/_top" "$work/tree/_top"                            |add "$work/a.pod" _top --as _TOP -C "$work/new"
remove entries and a folder     |rm -r "$work/tree/b-1" "$work/tree/a/deep"                          |rm "$work/a.pod" B-1 a/deep
remove by pattern               |rm "$work/tree/more/n2" "$work/tree/more/deeper/m1"                 |rm "$work/a.pod" 'more/**'
rename an entry across folders  |mv "$work/tree/b.txt" "$work/tree/Sub/inner/b.txt"                  |mv "$work/a.pod" b.txt Sub/inner/b.txt
rename a folder                 |mv "$work/tree/Sub" "$work/tree/0sub"                               |mv "$work/a.pod" sub 0SUB
set every header field          |:                                                                   |set "$work/a.pod" --author Bob --description 'Other words' --copyright none --priority -3
remove the last entries         |rm -r "$work/tree/zeta"                                             |rm "$work/a.pod" zeta
ROWS
    run 0 info --json "$work/a.pod"
    json_check '$d->{author} eq "Bob" && $d->{description} eq "Other words" && $d->{copyright} eq "none"
        && $d->{priority} == -3 && $d->{entryCount} == 9'
    ;;

refusals)
    # what | set-up | edit | stderr holds. Each is refused with exit 1 and nothing written: the
    # archive's bytes, time and mode stay, and nothing else appears in its folder.
    start
    mkdir -p "$work/box" "$work/src/bad\\name" "$work/src/A.TXT"
    mv "$work/a.pod" "$work/box/a.pod"
    pod=$work/box/a.pod
    printf 'x' >"$work/src/bad\\name/f"
    printf 'x' >"$work/src/A.TXT/inside"
    printf 'x' >"$work/src/a"
    truncate -s 2147483000 "$work/src/huge"
    truncate -s 4G "$work/src/huge4"
    touch -d '2001-01-01 UTC' "$pod"
    long=$(printf 'n%.0s' {1..260})
    while IFS='|' read -r what setup edit message; do
        [ -n "$what" ] || continue
        eval "$setup"
        before=$(state "$pod")
        eval "run 1 $edit"
        grep -qF -- "$message" "$work/err" || fail "$what: stderr lacks [$message]"
        [ "$(state "$pod")" = "$before" ] || fail "$what: the archive changed"
        [ "$(ls -A "$work/box")" = a.pod ] || fail "$what: left $(ls -A "$work/box")"
        chmod 644 "$pod"
        chmod 755 "$work/box"
    done <<'ROWS'
no match                 |:                          |rm "$pod" a.txt nothing/here                   |no entry matches: nothing/here
mv of nothing            |:                          |mv "$pod" nothing other                        |no entry matches: nothing
name too long            |:                          |add "$pod" a --as "$long" -C "$work/src"       |the stored name would be 260 bytes long
mv to a long name        |:                          |mv "$pod" a.txt "$long"                        |the stored name would be 260 bytes long
name off the code page   |:                          |mv "$pod" a.txt 'ಠ.txt'                        |code page 1252 cannot hold this name
backslash in a host name |:                          |add "$pod" 'bad\name' -C "$work/src"           |a name holding '\' or starting with a drive
mv onto a folder         |:                          |mv "$pod" a sub                                |a folder of this name exists already
mv onto an entry         |:                          |mv "$pod" a.txt b.txt                          |these two would be one stored name
file where a folder is   |:                          |add "$pod" a -C "$work/src"                    |==> A/DEEP/TWO.BIN
folder where a file is   |:                          |add "$pod" A.TXT -C "$work/src"                |a file and a folder would have one stored name
over 2 GiB - 1           |:                          |add "$pod" huge -C "$work/src"                 |at most 2147483647 fit
file of 4 GiB            |:                          |add "$pod" huge4 -C "$work/src"                |an entry holds less than 4 GiB
read-only archive        |chmod 444 "$pod"           |rm "$pod" a.txt                                |Permission denied
read-only folder         |chmod 555 "$work/box"      |rm "$pod" a.txt                                |Permission denied
missing path             |:                          |add "$pod" gone -C "$work/src"                 |No such file or directory
path leaving -C          |:                          |add "$pod" ../x -C "$work/src"                 |may not leave it
ROWS
    # Every problem is reported, not only the first.
    run 1 add "$pod" a A.TXT huge -C "$work/src"
    [ "$(grep -c '^quillomar-cli: ' "$work/err")" -eq 3 ] || fail "not every problem was reported"
    # --dry-run says the same and writes nothing.
    run 1 add "$pod" huge -C "$work/src" --dry-run
    grep -qF 'File too large' "$work/err" || fail "dry run did not report the limit"
    ;;

pod2)
    # A POD2 archive as the game's tools wrote it: directory right after the 96-byte header,
    # names, then the data; entries in no particular order.
    perl -e '
        my @names = ("ZED.TXT", "ART\\F1.PBM");
        my @data = ("zz", "hello");
        my $names = join("", map { "$_\0" } @names);
        my $at = 96 + 40 + length($names);
        my $dir = "";
        my $name = 0;
        for my $i (0, 1) {
            $dir .= pack("V V V V V", $name, length($data[$i]), $at, 0x3EC6C54C, 0);
            $name += length($names[$i]) + 1;
            $at += length($data[$i]);
        }
        print pack("a4 V a80 V V", "POD2", 0, "Old data", 2, 0), $dir, $names, @data;' >"$work/old.pod"
    before=$(state "$work/old.pod")
    run 1 set "$work/old.pod" --author Me
    grep -qF -- "-o OUT" "$work/err" || fail "the refusal does not name -o"
    [ "$(state "$work/old.pod")" = "$before" ] || fail "the POD2 archive changed"
    printf 'new' >"$work/new.txt"
    run 0 add "$work/old.pod" new.txt -C "$work" -o "$work/new.pod"
    [ "$(state "$work/old.pod")" = "$before" ] || fail "the POD2 archive changed with -o"
    run 0 info --json "$work/new.pod"
    json_check '$d->{version} == 3 && $d->{description} eq "Old data" && $d->{author} eq "Generated by Quillomar"
        && $d->{copyright} eq "Copyright..." && $d->{priority} == 1000 && $d->{entryCount} == 3'
    # Entries keep their order and bytes; the added one follows them.
    run 0 list "$work/new.pod"
    [ "$(cat "$work/out")" = $'ZED.TXT\nART\\F1.PBM\nNEW.TXT' ] || fail "order: $(cat "$work/out")"
    [ "$("$cli" cat "$work/new.pod" art/f1.pbm zed.txt new.txt)" = zzhellonew ] || fail "bytes changed"
    run 0 verify "$work/new.pod"
    ;;

other_order)
    # An archive in no order pack would give: untouched entries keep their order and bytes, a
    # replaced or renamed one its place, added ones come last in pack's order.
    perl -e '
        my @names = ("Z.TXT", "a/one", "M.TXT", "a/two");
        my $names = join("", map { "$_\0" } @names);
        my ($dir, $name) = ("", 0);
        for my $i (0 .. 3) {
            $dir .= pack("V V V V V", $name, 2, 288 + 2 * $i, 0x3EC6C54C, 7);
            $name += length($names[$i]) + 1;
        }
        print pack("a4 V a80 V V V V a80 a80 V V V V V V", "POD3", 0, "Game", 4, 0, 77, 5, "Them", "",
                   288 + 8, 0, length($names), 0, 123, 0), "z1a1m1a2", $dir, $names;' >"$work/game.pod"
    mkdir -p "$work/new"
    printf 'B' >"$work/new/b"
    printf 'A' >"$work/new/0a"
    printf 'MM' >"$work/new/m.txt"
    run 0 add "$work/game.pod" b 0a m.txt -C "$work/new" -v
    [ "$(cat "$work/out")" = $'replaced M.TXT\nadded    0A\nadded    B' ] || fail "-v gave: $(cat "$work/out")"
    run 0 mv "$work/game.pod" a/one a/renamed
    run 0 list "$work/game.pod"
    [ "$(cat "$work/out")" = $'Z.TXT\nA\\RENAMED\nM.TXT\na/two\n0A\nB' ] || fail "order: $(cat "$work/out")"
    [ "$("$cli" cat "$work/game.pod" z.txt a/renamed m.txt a/two 0a b)" = z1a1MMa2AB ] || fail "bytes changed"
    # The header's words that pack would not write are kept.
    [ "$(od -An -tu4 -j96 -N4 "$work/game.pod" | tr -d ' ')" = 77 ] || fail "word 96 not kept"
    [ "$(od -An -tu4 -j280 -N4 "$work/game.pod" | tr -d ' ')" = 123 ] || fail "word 280 not kept"
    # So is each kept entry's reserved record word.
    run 0 verify "$work/game.pod"
    ;;

output)
    start
    before=$(state "$work/a.pod")
    run 0 rm "$work/a.pod" a.txt -o "$work/b.pod"
    [ "$(state "$work/a.pod")" = "$before" ] || fail "-o changed the archive"
    run 0 list "$work/b.pod"
    grep -qx 'A.TXT' "$work/out" && fail "-o result still holds A.TXT"
    # An existing OUT is never replaced.
    before=$(state "$work/b.pod")
    run 1 rm "$work/a.pod" b.txt -o "$work/b.pod"
    grep -qF 'File exists' "$work/err" || fail "existing OUT: $(cat "$work/err")"
    [ "$(state "$work/b.pod")" = "$before" ] || fail "an existing OUT changed"

    # --dry-run: the changes, the size the result then has, and nothing written.
    before=$(state "$work/a.pod")
    run 0 rm "$work/a.pod" a --dry-run
    [ "$(state "$work/a.pod")" = "$before" ] || fail "--dry-run wrote"
    grep -qx 'removed  A\\ONE.BIN' "$work/out" || fail "--dry-run: $(cat "$work/out")"
    size=$(sed -n 's/.*the archive would be \([0-9]*\) bytes.*/\1/p' "$work/out")
    run 0 rm "$work/a.pod" a
    [ "$(stat -c %s "$work/a.pod")" = "$size" ] || fail "--dry-run said $size bytes"

    # The mode stays; a symbolic link stays a link, to the edited archive.
    chmod 640 "$work/a.pod"
    ln -s a.pod "$work/link.pod"
    run 0 rm "$work/link.pod" b.txt
    [ -L "$work/link.pod" ] || fail "the link was replaced"
    [ "$(stat -c %a "$work/a.pod")" = 640 ] || fail "mode became $(stat -c %a "$work/a.pod")"
    "$cli" list "$work/a.pod" | grep -qx 'B.TXT' && fail "the link's target was not edited"
    # A write that fails (here at the file-size limit) leaves the archive and nothing else.
    before=$(state "$work/a.pod")
    listing=$(ls -A "$work")
    (ulimit -f 100; "$cli" add "$work/a.pod" tree/a.txt -C "$work" --as c.txt) 2>"$work/err"
    [ $? -eq 1 ] || fail "a write over the file-size limit did not fail"
    grep -qF 'File too large' "$work/err" || fail "over the limit: $(cat "$work/err")"
    [ "$(state "$work/a.pod")" = "$before" ] || fail "the failed write changed the archive"
    [ "$(ls -A "$work")" = "$listing" ] || fail "the failed write left $(ls -A "$work")"
    # The archive is not stored in itself: passed over in a folder, refused by name.
    cp "$work/a.pod" "$work/tree/self.pod"
    run 0 add "$work/tree/self.pod" . -C "$work/tree" -v
    grep -q 'SELF.POD' "$work/out" && fail "the archive was added to itself"
    run 1 add "$work/tree/self.pod" self.pod -C "$work/tree"
    grep -qF 'an archive cannot hold itself' "$work/err" || fail "adding the archive by name: $(cat "$work/err")"
    rm "$work/tree/self.pod"
    # A header set to what it holds changes nothing, not even the time.
    touch -d '2001-01-01 UTC' "$work/a.pod"
    before=$(state "$work/a.pod")
    run 0 set "$work/a.pod" --priority 1200
    [ "$(state "$work/a.pod")" = "$before" ] || fail "an edit without change rewrote the archive"
    ;;

*)
    fail "unknown case"
    ;;
esac
exit 0
