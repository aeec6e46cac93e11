#!/usr/bin/env bash
# The bash completion of quillomar-cli, called as bash calls it. Usage: completion_test.sh
# PATH-TO-quillomar-cli PATH-TO-completion-script
set -uo pipefail

cli=$1
script=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8

fail() {
    echo "FAIL (completion): $*" >&2
    exit 1
}

# shellcheck source=/dev/null
source "$script"
[ "$(complete -p quillomar-cli)" = "complete -F _quillomar_cli quillomar-cli" ] || fail "not registered"

cd "$work" || exit 1
mkdir -p src/Café src/sub other
printf 'x' >src/a.txt
printf 'x' >src/Café/été.txt
printf 'x' >src/sub/b.txt
printf 'x' >src/sub/c.txt
"$cli" pack -q src -o game.pod || fail "pack failed"
cp game.pod old.POD
: >notes.txt

# command line (a trailing blank: completing a new word) | completions, sorted, joined by ','
rows=(
    'quillomar-cli |add,cat,diff,extract,help,info,list,mount,mv,pack,rm,set,unmount,verify'
    'quillomar-cli ve|verify'
    'quillomar-cli --codepage 1251 li|list'
    'quillomar-cli --codepage 125|1250,1251,1252,1253,1254,1255,1256,1257,1258'
    'quillomar-cli --|--codepage,--help,--version'
    'quillomar-cli list |game.pod,old.POD,other,src'
    'quillomar-cli verify game.pod |game.pod,old.POD,other,src'
    'quillomar-cli diff game.pod old.POD |'
    'quillomar-cli list game.pod |A.TXT,CAFÉ/,SUB/'
    'quillomar-cli extract -C other game.pod s|sub/'
    'quillomar-cli cat game.pod sub/|sub/b.txt,sub/c.txt'
    'quillomar-cli list -l game.pod caf|café/'
    'quillomar-cli list game.pod CAFÉ/|CAFÉ/ÉTÉ.TXT'
    "quillomar-cli list game.pod 'CAFÉ/|CAFÉ/ÉTÉ.TXT"
    'quillomar-cli list game.pod su|sub/'
    'quillomar-cli extract -C |other,src'
    'quillomar-cli pack |other,src'
    'quillomar-cli pack src --dr|--dry-run'
    'quillomar-cli pack src --like |game.pod,old.POD,other,src'
    'quillomar-cli pack src --exclude |'
    'quillomar-cli list --s|--slash'
    'quillomar-cli help |add,cat,diff,extract,help,info,list,mount,mv,pack,rm,set,unmount,verify'
    'quillomar-cli help list |'
    'quillomar-cli mount |game.pod,old.POD,other,src'
    'quillomar-cli mount game.pod |other,src'
    'quillomar-cli mount -f game.pod o|other'
    'quillomar-cli mount game.pod other |'
    'quillomar-cli mount --l|--lowercase'
    'quillomar-cli unmount |other,src'
    'quillomar-cli rm game.pod s|sub/'
    'quillomar-cli mv game.pod sub/b|sub/b.txt'
    'quillomar-cli mv game.pod a.txt |'
    'quillomar-cli add game.pod -C src s|sub'
    'quillomar-cli add game.pod --as |'
    'quillomar-cli set game.pod --pr|--priority'
)
for row in "${rows[@]}"; do
    line=${row%%|*}
    expected=${row#*|}
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=("")
    COMP_WORDS[0]=$cli
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _quillomar_cli 2>/dev/null
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd, -)
    [ "$got" = "$expected" ] || fail "[$line] gave [$got], expected [$expected]"
done

# Names that are shell syntax, completed in a real interactive bash through a pseudo-terminal:
# each must reach the tool as exactly one argument, the name itself, whether the word was begun
# bare, in single or in double quotes.
command -v tmux >/dev/null || fail "tmux is needed to drive an interactive bash"
mkdir -p hostile bin
for name in 'x;touch PWNED2' 'sp ace.txt' "qu'o\"te.txt" 'd$HOME.txt' 'st*r.txt' 'b`id`.txt' 'amp&lt.txt'; do
    printf 'x' >"hostile/$name"
done
"$cli" pack -q hostile -o h.pod || fail "pack of the hostile names failed"
ln -s "$cli" bin/quillomar-cli
socket=$work/tmux.sock
tmux -S "$socket" new-session -d -x 200 -y 50 \
    "env -i HOME=$work PATH=$work/bin:/usr/bin:/bin TERM=xterm LC_ALL=C.UTF-8 bash --norc --noprofile -i"
trap 'tmux -S "$socket" kill-server 2>/dev/null; rm -rf "$work"' EXIT
tmux -S "$socket" send-keys -l "source '$script'; cd '$work'; PS1='$ '" \; send-keys Enter
# typed before TAB | the name the tool must have been given
cases=(
    'x|X;TOUCH PWNED2'
    'sp|SP ACE.TXT'
    "'sp|SP ACE.TXT"
    '"sp|SP ACE.TXT'
    'qu|QU'"'"'O"TE.TXT'
    '"qu|QU'"'"'O"TE.TXT'
    'd|D$HOME.TXT'
    '"d|D$HOME.TXT'
    'st|ST*R.TXT'
    'b|B`ID`.TXT'
    '"b|B`ID`.TXT'
    'am|AMP&LT.TXT'
)
for i in "${!cases[@]}"; do
    typed=${cases[i]%%|*}
    tmux -S "$socket" send-keys -l "quillomar-cli list h.pod $typed" \; send-keys Tab \; \
        send-keys -l " >out.$i 2>&1; echo \$? >>out.$i" \; send-keys Enter
done
for ((wait = 0; wait < 100; wait++)); do
    [ -s "out.$((${#cases[@]} - 1))" ] && break
    sleep 0.1
done
for i in "${!cases[@]}"; do
    typed=${cases[i]%%|*}
    expected=${cases[i]#*|}
    [ "$(cat "out.$i" 2>/dev/null)" = "$expected"$'\n0' ] ||
        fail "[$typed<TAB>] gave the tool [$(cat "out.$i" 2>/dev/null)], screen: $(tmux -S "$socket" capture-pane -p | tail -5)"
done
[ -z "$(ls -A | grep -i pwned)" ] || fail "a completed name ran a command"
exit 0
