#!/usr/bin/env bash
# quillomar.exe under Wine on a virtual display: started with an archive on its command line, it
# shows the packer window and the content window, found by their titles, in French and in
# English; "-RegServer" and "-UnregServer" write and remove the registration keys once the window
# is closed.
#
#   window_test.sh QUILLOMAR_EXE QUILLOMAR_CLI_EXE WORK_FOLDER
#
# WORK_FOLDER keeps the Wine prefix between runs (making one takes a while); everything else is
# made and removed in a temporary folder. QUILLOMAR_SCREENSHOTS=DIR keeps a screenshot of each
# language's windows there.
set -euo pipefail

exe=$(realpath "$1")
cli=$(realpath "$2")
keep=$3
mkdir -p "$keep"
. "$(dirname "${BASH_SOURCE[0]}")/../windows/winesession.sh"

# The window whose title is exactly title, waited for up to 60 s; its id on standard output.
find_window() {
    local title=$1 id=""
    for _ in $(seq 600); do
        id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1 || true)
        [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || fail "no window titled \"$title\"; windows: $(xwininfo -root -tree | grep -o '"[^"]*"' | sort -u | tr '\n' ' ')"
    echo "$id"
}

wait_gone() {
    local pid=$1
    for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
    fail "quillomar.exe did not end"
}

# An archive made by the Windows build of the command-line tool, with an accented name.
mkdir -p "$work/tree/art"
echo "read me" >"$work/tree/readme.txt"
printf 'P1\n1 1\n1\n' >"$work/tree/art/f1.pbm"
printf 'menu' >"$work/tree/café.txt"
(cd "$work" && wine "$cli" pack tree -o game.pod >/dev/null) || fail "quillomar-cli.exe pack"
[ -s "$work/game.pod" ] || fail "no archive"

for case in "fr_FR.UTF-8|Quillomar pour Korvane - version 1.0 - 2003|Liste des fichiers POD" \
            "en_US.UTF-8|Quillomar for Korvane - version 1.0 - 2003|POD content"; do
    IFS='|' read -r locale packer content <<<"$case"
    (cd "$work" && exec env LC_ALL="$locale" LANG="$locale" wine "$exe" game.pod) &
    pid=$!
    find_window "$packer" >/dev/null
    find_window "$content" >/dev/null
    echo "ok: $locale: \"$packer\" and \"$content\""
    if [ -n "${QUILLOMAR_SCREENSHOTS:-}" ]; then
        mkdir -p "$QUILLOMAR_SCREENSHOTS"
        sleep 1
        import -window root "$QUILLOMAR_SCREENSHOTS/window-${locale%%_*}.png"
    fi
    kill "$pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
done

# Clicks at x, y of window id (pixels from its left and top edges) until it is no longer shown;
# the first click may only activate it.
click_until_gone() {
    local id=$1 x=$2 y=$3
    for _ in $(seq 10); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' || return 0
        eval "$(xdotool getwindowgeometry --shell "$id")"
        xdotool mousemove $((X + x)) $((Y + y)) click 1 2>/dev/null || true
        sleep 1
    done
    fail "window $id stays open"
}

# A switch as the only argument: the window opens first and takes the argument for a path, which
# it refuses with message 104; once the box is answered and the window closed (its Quit button, at
# 271,227 50x16 in the template's 328x250 dialog units), the switch is acted on and its status is
# the exit code.
switch() {
    local name=$1
    (cd "$work" && exec env LC_ALL=en_US.UTF-8 wine "$exe" "-$name") &
    local pid=$!
    local packer box
    packer=$(find_window "Quillomar for Korvane - version 1.0 - 2003")
    box=$(find_window "Quillomar")
    eval "$(xdotool getwindowgeometry --shell "$box")"
    click_until_gone "$box" $((WIDTH / 2)) $((HEIGHT - 20))
    eval "$(xdotool getwindowgeometry --shell "$packer")"
    click_until_gone "$packer" $((WIDTH * 296 / 328)) $((HEIGHT * 235 / 250))
    wait_gone "$pid"
    local status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || fail "$name: exit status $status"
}
key='HKCR\AppID\Quillomar.EXE'
switch RegServer
wine reg query "$key" /v AppID 2>/dev/null | grep -q '{E1111D62-1426-4F18-9D1C-996D52361E8B}' ||
    fail "RegServer: no AppID value under $key"
wine reg query 'HKCR\TypeLib\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\1.0\409\win64' 2>/dev/null | grep -qi 'quillomar.exe' ||
    fail "RegServer: the type library's path is missing"
echo "ok: RegServer"
switch UnregServer
if wine reg query "$key" >/dev/null 2>&1; then fail "UnregServer: $key is still there"; fi
wine reg query 'HKCR\AppID' >/dev/null 2>&1 || fail "UnregServer: AppID itself was removed"
echo "ok: UnregServer"
