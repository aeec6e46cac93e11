# Sourced by the kill tests once they have set cli and work. When QUILLOMAR_NO_TMPFILE names the
# library that turns unnamed files off (built from tests/support/notmpfile.cpp), cli becomes a
# wrapper that runs the tool with that library preloaded: every temporary is then a hidden name
# beside its target, as on a file system without O_TMPFILE, and what a kill leaves stays on disk for
# the checks to find. Only the tool gets the library, not the tools the test runs around it.
# Sets unnamed to "on" or "off".
unnamed=on
if [ -n "${QUILLOMAR_NO_TMPFILE:-}" ]; then
    [ -f "$QUILLOMAR_NO_TMPFILE" ] || { echo "FAIL: no library $QUILLOMAR_NO_TMPFILE" >&2; exit 1; }
    printf '#!/bin/sh\nLD_PRELOAD=%s exec %s "$@"\n' "'$QUILLOMAR_NO_TMPFILE'" "'$cli'" >"$work/quillomar-cli"
    chmod +x "$work/quillomar-cli"
    cli=$work/quillomar-cli
    unnamed=off
fi
