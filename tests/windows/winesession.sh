# Sourced by the tests that run Windows programs under Wine on a virtual display, once the script
# has set keep (the folder that holds the Wine prefix). Sets up Wine quietly in that prefix, makes
# work (a scratch folder), defines fail, and starts an Xvfb of its own as DISPLAY; at exit the Wine
# server and the display are stopped and work is removed.

export WINEPREFIX=$keep/wineprefix
export WINEDEBUG=-all
# No Mono or Gecko installers; no menu entries of the host desktop made for shortcuts.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

work=$(mktemp -d)
xvfb=""
cleanup() {
    wineserver -k 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# A display of our own: the first number with no X server on it.
for n in $(seq 90 150); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        display=$n
        break
    fi
done
[ -n "${display:-}" ] || fail "no free display number"
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"
