#!/usr/bin/env bash
# Mounts archives with the built quillomar-cli and uses the folder as a user's tools do.
# Usage: mount_test.sh PATH-TO-quillomar-cli CASE
# Exits 77 (reported as skipped) where this machine cannot mount FUSE file systems at all.
set -uo pipefail

cli=$(realpath "$1")
case_name=$2
work=$(mktemp -d)
mounts=()

cleanup() {
    local point
    for point in "${mounts[@]}"; do
        is_mounted "$point" && fusermount3 -u -z "$point" 2>/dev/null
    done
    chmod -R u+rwX "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "${BASH_SOURCE[0]}")/testlib.sh"

is_mounted() { [ "$(findmnt -n -o FSTYPE --mountpoint "$1")" = fuse.quillomar ]; }

# mount_ok ARCHIVE POINT [OPTION...]: mounts, and the folder must be usable at once.
mount_ok() {
    local archive=$1 point=$2
    shift 2
    mkdir -p "$point"
    mounts+=("$point")
    run 0 mount "$archive" "$point" "$@"
    is_mounted "$point" || fail "mount returned before $point was mounted"
}

unmount_ok() {
    run 0 unmount "$1"
    is_mounted "$1" && fail "$1 is still mounted"
    ls "$1" >/dev/null || fail "$1 is left unusable after unmount"
}

# Without the FUSE device, or without the right to mount, there is nothing to test here.
require_fuse() {
    [ -c /dev/fuse ] || { echo "no /dev/fuse: skipped"; exit 77; }
    command -v fusermount3 >/dev/null || { echo "no fusermount3: skipped"; exit 77; }
    mkdir -p "$work/probe/src" "$work/probe/mnt"
    printf 'p' >"$work/probe/src/p"
    "$cli" pack -q "$work/probe/src" -o "$work/probe/p.pod" || fail "pack failed"
    mounts+=("$work/probe/mnt")
    if ! "$cli" mount "$work/probe/p.pod" "$work/probe/mnt" 2>"$work/probe/err"; then
        if grep -qE '/dev/fuse|fusermount|not permitted|Permission denied' "$work/probe/err"; then
            echo "mounting is not permitted here: skipped ($(head -n 2 "$work/probe/err" | tr '\n' ' '))"
            exit 77
        fi
        cp "$work/probe/err" "$work/err"
        fail "the probe mount failed"
    fi
    "$cli" unmount "$work/probe/mnt" || fail "the probe unmount failed"
}

# A tree with nested folders, an empty file and folder, a file over several reads, accented names;
# every file dated (extraction leaves a file without a stored date at the time it is written).
make_tree() {
    local root=$1
    mkdir -p "$root/Sub/deep" "$root/Café"
    printf 'hello\n' >"$root/a.txt"
    head -c 5000000 /dev/urandom >"$root/Sub/Big.bin"
    : >"$root/Sub/deep/empty"
    printf 'accent' >"$root/Sub/été.txt"
    printf 'menu' >"$root/Café/Menu.TXT"
    for i in $(seq 1 40); do head -c $((i * 1000)) /dev/urandom >"$root/Sub/f$i.dat"; done
    find "$root" -type f -exec touch -d '2003-04-28 12:00:00 UTC' {} +
    touch -d '2011-02-03 04:05:06 UTC' "$root/a.txt"
}

# What a folder holds: each path with its kind and, for files, size, time and checksum.
describe() {
    (cd "$1" && find . -mindepth 1 -printf '%P %y\n' | sort &&
        find . -type f -printf '%P %s %T@\n' | sort && find . -type f -exec md5sum {} + | sort -k 2)
}

# make_pod3 FILE NAME...: a POD3 archive whose entry i holds "data i", dated 2003-04-28 12:00:00
# UTC, with the stored names as given, however unsafe.
make_pod3() {
    perl -e '
        my ($file, @names) = @ARGV;
        my $n = @names;
        my $names = join("", map { "$_\0" } @names);
        my ($dir, $data, $nameAt) = ("", "", 0);
        my $dataAt = 288;
        for my $i (0 .. $n - 1) {
            my $bytes = "data $i";
            $dir .= pack("V V V V V", $nameAt, length($bytes), $dataAt + length($data), 0x3EC6C54C, 0);
            $data .= $bytes;
            $nameAt += length($names[$i]) + 1;
        }
        my $header = pack("a4 V a80 V V V V a80 a80 V V V V V V", "POD3", 0, "Made by hand", $n, 0, 1000,
                          1000, "", "", 288 + length($data), 0, length($names), 0, 0xFFFFFFFF, 0);
        open my $f, ">", $file or die;
        binmode $f;
        print $f $header, $data, $dir, $names;' "$@"
}

require_fuse

case $case_name in

same_as_extract)
    # Names, kinds, sizes, times and bytes as extract writes them, as stored and lower-cased.
    make_tree "$work/src"
    "$cli" pack -q "$work/src" -o "$work/a.pod" || fail "pack failed"
    for names in stored lowercase; do
        option=()
        [ "$names" = stored ] || option=(--lowercase)
        run 0 extract -q "$work/a.pod" -C "$work/x.$names" "${option[@]}"
        mount_ok "$work/a.pod" "$work/m.$names" "${option[@]}"
        [ ! -s "$work/err" ] || fail "mount of a clean archive wrote to standard error"
        describe "$work/x.$names" >"$work/want"
        describe "$work/m.$names" >"$work/got"
        diff "$work/want" "$work/got" >&2 || fail "the $names folder differs from the extraction"
        # Copied out with the everyday tools, byte for byte.
        cp -r "$work/m.$names" "$work/copy.$names" || fail "cp -r out of the mount failed"
        diff -r "$work/x.$names" "$work/copy.$names" >/dev/null || fail "cp -r copied other bytes"
        unmount_ok "$work/m.$names"
    done
    [ -f "$work/x.lowercase/café/menu.txt" ] || fail "--lowercase did not lower the names"
    mount_ok "$work/a.pod" "$work/m"
    # Read-only files and folders of the user who mounted.
    [ "$(stat -c '%a %U' "$work/m/A.TXT" "$work/m/SUB" | tr '\n' ' ')" = "444 $(id -un) 555 $(id -un) " ] ||
        fail "modes and owners: $(stat -c '%n %a %U' "$work/m/A.TXT" "$work/m/SUB")"
    [ "$(stat -c %h "$work/m/SUB")" -eq 3 ] || fail "SUB does not count its one sub-folder in its links"
    [ "$(stat -f -c %T "$work/m")" != "" ] || fail "statfs failed"
    ;;

read_only)
    # Every change fails with "Read-only file system" and leaves the archive as it was.
    make_tree "$work/src"
    "$cli" pack -q "$work/src" -o "$work/a.pod" || fail "pack failed"
    cp "$work/a.pod" "$work/before.pod"
    m=$work/m
    mount_ok "$work/a.pod" "$m"
    attempts=(
        "touch $m/new" "touch $m/A.TXT" "mkdir $m/dir" "rm $m/A.TXT" "rm -r $m/SUB/DEEP"
        "rmdir $m/SUB/DEEP" "mv $m/A.TXT $m/B.TXT" "mv $m/A.TXT $m/SUB/" "chmod 644 $m/A.TXT"
        "chmod 755 $m/SUB" "truncate -s 0 $m/A.TXT" "sh -c 'echo x >$m/A.TXT'" "sh -c 'echo x >>$m/A.TXT'"
        "sh -c 'echo x >$m/new'" "ln -s A.TXT $m/link" "ln $m/A.TXT $m/hard" "setfattr -n user.x -v 1 $m/A.TXT"
        "cp $work/src/a.txt $m/SUB/"
    )
    for attempt in "${attempts[@]}"; do
        [ "${attempt%% *}" != setfattr ] || command -v setfattr >/dev/null || continue
        if eval "$attempt" 2>"$work/err"; then fail "$attempt succeeded"; fi
        grep -q 'Read-only file system' "$work/err" || fail "$attempt: $(cat "$work/err")"
    done
    [ "$(cat "$m/A.TXT")" = hello ] || fail "A.TXT changed"
    cmp -s "$work/a.pod" "$work/before.pod" || fail "the archive changed"
    ;;

hostile)
    # Names that would leave the folder stay out, counted; of two entries on one path the later
    # one shows; a file in the way of a folder keeps it out, as extract does.
    make_pod3 "$work/h.pod" '..\EVIL.TXT' 'OK.TXT' '\ROOT.TXT' 'C:DRIVE.TXT' 'SUB\..\..\UP.TXT' 'DUP.TXT' \
        'SUB\IN.TXT' 'DUP.TXT' 'OK.TXT\UNDER.TXT' 'SUB/SLASH.TXT'
    mount_ok "$work/h.pod" "$work/m"
    expect_stderr_has "4 entries not shown: unsafe names"
    expect_stderr_has "1 entry not shown: a file of an earlier entry stands where a folder is needed"
    expect_stderr_has "1 entry not shown: a later entry lands on the same path"
    [ "$(cat "$work/m/DUP.TXT")" = "data 7" ] || fail "DUP.TXT shows $(cat "$work/m/DUP.TXT"), not the later entry"
    "$cli" extract -q "$work/h.pod" -C "$work/x" 2>/dev/null
    describe "$work/x" >"$work/want"
    describe "$work/m" >"$work/got"
    diff "$work/want" "$work/got" >&2 || fail "the folder differs from what extract wrote"
    [ "$(cd "$work/m" && find . | sort | tr '\n' ' ')" = ". ./DUP.TXT ./OK.TXT ./SUB ./SUB/IN.TXT ./SUB/SLASH.TXT " ] ||
        fail "shown: $(cd "$work/m" && find . | sort)"
    [ ! -e "$work/EVIL.TXT" ] && [ ! -e "/ROOT.TXT" ] || fail "an entry landed outside the mount"
    ;;

damaged)
    # The reader's checks and message, and nothing left mounted.
    make_tree "$work/src"
    "$cli" pack -q "$work/src" -o "$work/a.pod" || fail "pack failed"
    head -c 5000 "$work/a.pod" >"$work/cut.pod"
    printf 'not an archive' >"$work/text.pod"
    mkdir -p "$work/m"
    mounts+=("$work/m")
    run 1 mount "$work/cut.pod" "$work/m"
    expect_stderr_has "quillomar-cli: $work/cut.pod: This POD file is damaged or incomplete !"
    run 1 mount "$work/text.pod" "$work/m"
    expect_stderr_has "$work/text.pod: "
    run 1 mount "$work/none.pod" "$work/m"
    expect_stderr_has "No such file or directory"
    is_mounted "$work/m" && fail "a refused archive was mounted"
    [ -z "$(ls -A "$work/m")" ] || fail "the mount point changed"
    ;;

mount_point)
    # A missing folder, a file, a folder that holds something, one already mounted, and a user
    # who may not use the FUSE device.
    make_tree "$work/src"
    "$cli" pack -q "$work/src" -o "$work/a.pod" || fail "pack failed"
    run 1 mount "$work/a.pod" "$work/none"
    [ "$(cat "$work/err")" = "quillomar-cli: No such file or directory"$'\n'"==> $work/none" ] || fail "missing"
    printf 'x' >"$work/file"
    run 1 mount "$work/a.pod" "$work/file"
    [ "$(cat "$work/err")" = "quillomar-cli: Not a directory"$'\n'"==> $work/file" ] || fail "a file"
    mkdir -p "$work/full" && printf 'x' >"$work/full/.kept"
    run 1 mount "$work/a.pod" "$work/full"
    [ "$(cat "$work/err")" = "quillomar-cli: Directory not empty"$'\n'"==> $work/full" ] || fail "not empty"
    [ "$(cat "$work/full/.kept")" = x ] || fail "the folder's file was touched"
    mount_ok "$work/a.pod" "$work/m"
    run 1 mount "$work/a.pod" "$work/m"
    expect_stderr_has "Directory not empty"
    unmount_ok "$work/m"
    # Blanks and a comma in both paths, and a relative mount point.
    cp "$work/a.pod" "$work/an, archive.pod"
    mount_ok "$work/an, archive.pod" "$work/a folder"
    [ "$(cat "$work/a folder/A.TXT")" = hello ] || fail "A.TXT unreadable below a folder with a blank"
    (cd "$work" && "$cli" unmount "a folder") || fail "unmount of a relative path with a blank failed"
    is_mounted "$work/a folder" && fail "$work/a folder is still mounted"
    run 1 unmount "$work/m"
    expect_stderr_has "$work/m: no archive is mounted there"
    if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null &&
        ! setpriv --reuid=nobody --regid=nogroup --clear-groups test -r /dev/fuse -a -w /dev/fuse; then
        chmod 755 "$work"
        chmod 777 "$work/m"
        chmod 644 "$work/a.pod"
        setpriv --reuid=nobody --regid=nogroup --clear-groups "$cli" mount "$work/a.pod" "$work/m" 2>"$work/err"
        [ $? -eq 1 ] || fail "mount without the right to use /dev/fuse did not exit 1"
        [ "$(cat "$work/err")" = "quillomar-cli: Permission denied"$'\n'"==> /dev/fuse" ] || fail "not permitted"
    fi
    ;;

signals)
    # In the foreground, SIGTERM and SIGINT unmount and end with status 0; in the background,
    # SIGTERM to the serving process does the same.
    make_tree "$work/src"
    "$cli" pack -q "$work/src" -o "$work/a.pod" || fail "pack failed"
    mkdir -p "$work/m"
    mounts+=("$work/m")
    for signal in TERM INT; do
        "$cli" mount -f "$work/a.pod" "$work/m" 2>"$work/err" &
        pid=$!
        for _ in $(seq 1 100); do grep -q 'mounted on' "$work/err" && break; sleep 0.05; done
        grep -q 'mounted on' "$work/err" || fail "mount -f did not say it was ready"
        is_mounted "$work/m" || fail "mount -f said ready, yet nothing is mounted"
        [ "$(cat "$work/m/A.TXT")" = hello ] || fail "mount -f: A.TXT unreadable"
        kill -s "$signal" "$pid"
        wait "$pid"
        status=$?
        [ "$status" -eq 0 ] || fail "mount -f ended with $status after SIG$signal"
        is_mounted "$work/m" && fail "SIG$signal left $work/m mounted"
        ls "$work/m" >/dev/null 2>"$work/err" || fail "SIG$signal left $work/m unusable"
    done
    mount_ok "$work/a.pod" "$work/m"
    pid=$(pgrep -f "^$cli mount $work/a.pod $work/m\$") || fail "no serving process"
    kill -TERM "$pid"
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill -0 "$pid" 2>/dev/null && fail "the serving process outlived SIGTERM"
    is_mounted "$work/m" && fail "SIGTERM left the background mount"
    ls "$work/m" >/dev/null || fail "SIGTERM left $work/m unusable"
    ;;

changed)
    # Once the archive's time or size changes, reads fail with EIO rather than show other bytes.
    make_tree "$work/src"
    "$cli" pack -q "$work/src" -o "$work/a.pod" || fail "pack failed"
    for change in time size; do
        cp "$work/a.pod" "$work/c.pod"
        mount_ok "$work/c.pod" "$work/m.$change"
        cmp -s "$work/m.$change/SUB/F1.DAT" "$work/src/Sub/f1.dat" || fail "F1.DAT differs before the change"
        case $change in
        time) touch -d '2020-01-01 00:00:00 UTC' "$work/c.pod" ;;
        size) printf 'x' >>"$work/c.pod" ;;
        esac
        for file in SUB/F2.DAT SUB/BIG.BIN; do
            if cat "$work/m.$change/$file" >/dev/null 2>"$work/err"; then fail "$file read after a $change change"; fi
            grep -q 'Input/output error' "$work/err" || fail "$file after a $change change: $(cat "$work/err")"
        done
        # A file read before the change may still come from the kernel's cache: then with the
        # bytes it had, never with others.
        if cat "$work/m.$change/SUB/F1.DAT" >"$work/again" 2>"$work/err"; then
            cmp -s "$work/again" "$work/src/Sub/f1.dat" || fail "F1.DAT shows other bytes after a $change change"
        else
            grep -q 'Input/output error' "$work/err" || fail "F1.DAT after a $change change: $(cat "$work/err")"
        fi
        ls "$work/m.$change/SUB" >/dev/null || fail "the folder cannot be listed after a $change change"
        unmount_ok "$work/m.$change"
    done
    ;;

*)
    fail "unknown case"
    ;;
esac
exit 0
