#!/usr/bin/env bash
# The Windows packages under Wine, in a Wine prefix made afresh, on a virtual display.
#
# The zip: both programs, the README and the licence in one folder, and the command-line tool runs
# from where it was unpacked. The installer, run silently (/S): the files, the Start-menu shortcut,
# the .pod association and the uninstaller's key are in place, the installed command-line tool
# runs, and the association's open command on a .pod file shows the content window; the silent
# uninstaller removes the files, the shortcut and every key. When .pod named another program
# before, the uninstaller gives it back; when another program took .pod over meanwhile, the
# uninstaller leaves it to that program.
#
#   installer_test.sh SETUP_EXE ZIP VERSION LINUX_QUILLOMAR_CLI WORK_FOLDER
set -euo pipefail

setup=$(realpath "$1")
zip=$(realpath "$2")
version=$3
cli=$(realpath "$4")
mkdir -p "$5"
keep=$(realpath "$5")
. "$(dirname "${BASH_SOURCE[0]}")/winesession.sh"

# A fresh prefix: nothing left by an earlier run can make a check pass.
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; fail "wineboot -i"; }
wineserver -w
# One Wine server for the whole test, rather than one started (with Wine's services) per command.
# The services it starts keep the first program's standard output open: nothing reads it.
wineserver -p
wine cmd /c exit >/dev/null 2>&1 </dev/null

# What a Windows program prints, without carriage returns; its exit status. Its output goes through
# a file, since a process it leaves behind could hold a pipe open.
wine_out() {
    local status=0
    wine "$@" >"$work/wine.out" 2>&1 </dev/null || status=$?
    tr -d '\r' <"$work/wine.out"
    return $status
}

# The zip, unpacked where nothing else is.
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip") || fail "the zip does not unpack"
folder="$work/unpacked/quillomar-$version-win64"
for f in quillomar.exe quillomar-cli.exe README.txt LICENSE.txt; do
    [ -s "$folder/$f" ] || fail "zip: no $f in quillomar-$version-win64/"
done
wine_out "$folder/quillomar-cli.exe" --version | grep -qF "$version" ||
    fail "zip: quillomar-cli.exe --version does not name $version"
echo "ok: zip"

# The value NAME of a key (the default value when NAME is empty), or nothing when it is missing.
reg_value() {
    local key=$1 name=$2 out
    if [ -z "$name" ]; then
        out=$(wine_out reg query "$key" /ve) || return 0
    else
        out=$(wine_out reg query "$key" /v "$name") || return 0
    fi
    sed -n 's/^    .*    REG_[A-Z_]*    //p' <<<"$out" | head -n 1
}
has_key() { wine_out reg query "$1" >/dev/null; }
expect_value() {
    local key=$1 name=$2 want=$3 got
    got=$(reg_value "$key" "$name")
    [ "$got" = "$want" ] || fail "$key ${name:-(default)} is \"$got\", not \"$want\""
}

windows_env() { wine_out cmd /c echo "%$1%"; }
local_app_data=$(windows_env LOCALAPPDATA)
app_data=$(windows_env APPDATA)
install_win="$local_app_data\\Programs\\Quillomar"
install_dir=$(winepath -u "$install_win" </dev/null | tr -d '\r')
shortcut=$(winepath -u "$app_data\\Microsoft\\Windows\\Start Menu\\Programs\\Quillomar.lnk" </dev/null | tr -d '\r')
classes='HKCU\Software\Classes'
progid=Quillomar.PodArchive
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillomar'
installed=(quillomar.exe quillomar-cli.exe README.txt LICENSE.txt uninstall.exe)

run_setup() {
    wine "$setup" /S >/dev/null 2>&1 </dev/null || fail "setup /S: exit status $?"
    for f in "${installed[@]}"; do
        [ -s "$install_dir/$f" ] || fail "not installed: $install_dir/$f"
    done
}

# The uninstaller copies itself away and runs the copy, which goes on after the call returns; its
# last step removes its own key (then the checks allow it a moment for the notice to Explorer).
run_uninstaller() {
    wine "$install_dir/uninstall.exe" /S >/dev/null 2>&1 </dev/null || fail "uninstall /S: exit status $?"
    for _ in $(seq 120); do has_key "$uninstall_key" || break; sleep 0.5; done
    sleep 1
    [ ! -e "$install_dir" ] || fail "left after uninstalling: $(ls -A "$install_dir")"
    [ ! -e "$shortcut" ] || fail "the Start-menu shortcut is left"
    ! has_key "$classes\\$progid" || fail "$classes\\$progid is left"
    ! has_key "$uninstall_key" || fail "$uninstall_key is left"
}

# The window whose title is exactly title, waited for up to 60 s.
find_window() {
    local title=$1 id=""
    for _ in $(seq 600); do
        id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1 || true)
        [ -n "$id" ] && return 0
        sleep 0.1
    done
    fail "no window titled \"$title\"; windows: $(xwininfo -root -tree | grep -o '"[^"]*"' | sort -u | tr '\n' ' ')"
}

# A fresh prefix: .pod names no program.
run_setup
[ -s "$shortcut" ] || fail "no Start-menu shortcut at $shortcut"
expect_value "$classes\\.pod" "" "$progid"
expect_value "$classes\\$progid\\DefaultIcon" "" "\"$install_win\\quillomar.exe\",-207"
expect_value "$classes\\$progid\\shell\\open\\command" "" "\"$install_win\\quillomar.exe\" \"%1\""
expect_value "$uninstall_key" DisplayName Quillomar
expect_value "$uninstall_key" DisplayVersion "$version"
expect_value "$uninstall_key" Publisher "The Quillomar developers"
expect_value "$uninstall_key" DisplayIcon "\"$install_win\\quillomar.exe\",-207"
expect_value "$uninstall_key" UninstallString "\"$install_win\\uninstall.exe\""
size=$(reg_value "$uninstall_key" EstimatedSize)
[[ "$size" =~ ^0x[0-9a-f]+$ ]] && [ $((size)) -gt 100 ] || fail "EstimatedSize is \"$size\", not a size in kB"
wine_out "$install_dir/quillomar-cli.exe" --version | grep -qF "$version" ||
    fail "the installed quillomar-cli.exe does not run"
echo "ok: installed"

# The open command as the registry holds it, run on an archive as Explorer runs it for a
# double-clicked file: the program named in quotes, "%1" replaced by the file's path. (Wine does
# not show HKEY_CURRENT_USER's classes under HKEY_CLASSES_ROOT, where Windows merges them, so its
# own "start" would not find the association.)
mkdir -p "$work/tree/art"
echo "read me" >"$work/tree/readme.txt"
printf 'P1\n1 1\n1\n' >"$work/tree/art/f1.pbm"
"$cli" pack "$work/tree" -o "$work/game.pod" >/dev/null || fail "quillomar-cli pack"
command=$(reg_value "$classes\\$progid\\shell\\open\\command" "")
[[ "$command" =~ ^\"([^\"]+)\"\ \"%1\"$ ]] || fail "the open command \"$command\" is not \"PROGRAM\" \"%1\""
program=${BASH_REMATCH[1]}
(cd "$work" && exec env LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 wine "$program" "$(winepath -w "$work/game.pod" </dev/null | tr -d '\r')") \
    >/dev/null 2>&1 &
opened=$!
find_window "POD content"
echo "ok: the open command on game.pod shows the content window"
kill "$opened" 2>/dev/null || true
wait "$opened" 2>/dev/null || true

run_uninstaller
! has_key "$classes\\.pod" || fail "$classes\\.pod is left, though it named no program before"
echo "ok: uninstalled"

# .pod named another program before: it gets it back.
wine reg add "$classes\\.pod" /ve /d Other.Archive /f >/dev/null 2>&1
run_setup
expect_value "$classes\\.pod" "" "$progid"
run_uninstaller
expect_value "$classes\\.pod" "" Other.Archive
echo "ok: .pod given back to the program it named before"

# Another program took .pod over after the install: the uninstaller leaves it so.
run_setup
wine reg add "$classes\\.pod" /ve /d Third.Archive /f >/dev/null 2>&1
run_uninstaller
expect_value "$classes\\.pod" "" Third.Archive
echo "ok: .pod left to the program that took it over"
