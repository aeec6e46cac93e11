# The helpers every quillomar-cli test script shares. The script sets cli (the tool), case_name
# (the case it runs) and work (its scratch folder) before sourcing this file.

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
