#!/usr/bin/env bash
# The Linux and the Windows quillomar-cli on one tree with accented names: the same archive bytes,
# and the same list, verify and extract results; and the Windows extraction never follows a link
# planted in its destination.
# Usage: same_as_linux_test.sh LINUX-CLI WINE-RUN WINDOWS-CLI
set -euo pipefail
linux=$1 wine_run=$2 windows=$3
if [ ! -x "$linux" ]; then
  echo "no Linux quillomar-cli at $linux: build it first (make build)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
win() { "$wine_run" "$windows" "$@"; }

# A tree with accented folder and file names, sizes from empty to a few chunks, and set times.
tree=$work/Arbre-été
mkdir -p "$tree/Données/Sous-dossier" "$tree/Ñandú" "$tree/zèbre"
printf 'Bonjour, café !\n' >"$tree/Données/café.txt"
printf '' >"$tree/Données/Sous-dossier/vide.dat"
head -c 300000 /dev/zero | tr '\0' 'q' >"$tree/Ñandú/grand.bin"
printf 'Œuvre\n' >"$tree/zèbre/Œuvre.txt"
printf 'a\n' >"$tree/a.txt"
printf 'B\n' >"$tree/B.txt"
printf 'x\n' >"$tree/x-y.txt"
printf 'x\n' >"$tree/xy.txt"
find "$tree" -type f -exec touch -d '2021-03-04 05:06:08 UTC' {} +

status=0
compare() {  # what, then the two files
  if ! cmp -s "$2" "$3"; then
    echo "FAIL: $1 differ:" >&2
    diff <(od -c "$2" | head -40) <(od -c "$3" | head -40) >&2 || true
    status=1
  fi
}

# Packed from inside the tree's folder, so both see the same relative path.
(cd "$work" && "$linux" pack Arbre-été -o linux.pod --author "Zoé" --description "Données d'été")
(cd "$work" && win pack Arbre-été -o windows.pod --author "Zoé" --description "Données d'été")
compare "archives" "$work/linux.pod" "$work/windows.pod"

for verb in list info verify; do
  (cd "$work" && "$linux" "$verb" linux.pod >"$verb.linux" 2>&1) || true
  (cd "$work" && win "$verb" linux.pod >"$verb.windows" 2>&1) || true
  compare "$verb output" "$work/$verb.linux" "$work/$verb.windows"
done

(cd "$work" && "$linux" extract linux.pod -C out-linux >/dev/null)
(cd "$work" && win extract linux.pod -C out-windows >/dev/null)
(cd "$work/out-linux" && find . -type f -printf '%P %s %TY-%Tm-%Td %TH:%TM:%TS\n' | sort) >"$work/extracted.linux"
(cd "$work/out-windows" && find . -type f -printf '%P %s %TY-%Tm-%Td %TH:%TM:%TS\n' | sort) >"$work/extracted.windows"
compare "extracted files" "$work/extracted.linux" "$work/extracted.windows"
if ! diff -r "$work/out-linux" "$work/out-windows" >&2; then
  echo "FAIL: extracted contents differ" >&2
  status=1
fi
[ $status -eq 0 ] && echo "same bytes and the same results from both builds"

# A folder of the archive planted in the destination as a link to somewhere else: the Windows
# program refuses to enter it (Wine shows a Unix link as the folder it leads to) and writes
# nothing there.
mkdir -p "$work/planted" "$work/elsewhere"
ln -s "$work/elsewhere" "$work/planted/DONNÉES"
if (cd "$work" && win extract linux.pod -C planted -q >"$work/planted.out" 2>&1); then
  echo "FAIL: extraction through a planted link reported success" >&2
  status=1
fi
if [ -n "$(ls -A "$work/elsewhere")" ]; then
  echo "FAIL: extraction wrote through a planted link:" >&2
  ls -lR "$work/elsewhere" >&2
  status=1
fi
grep -q 'DONNÉES' "$work/planted.out" || { echo "FAIL: the refusal does not name the folder:" >&2; cat "$work/planted.out" >&2; status=1; }

# Operands starting with '/' are paths, not options: the Unix paths Wine users type.
if ! win list "$work/linux.pod" >"$work/slash.out" 2>&1 || ! cmp -s "$work/slash.out" "$work/list.linux"; then
  echo "FAIL: an operand starting with '/' was not taken as a path:" >&2
  cat "$work/slash.out" >&2
  status=1
fi

# Names Windows cannot keep, packed on Linux: verify names each with its own reason, extraction
# refuses them before creating any of their folders and writes the rest.
hostile=$work/hostile
mkdir -p "$hostile/F " "$hostile/H."
for name in 'DOT.' 'SPACE ' 'STAR*.TXT' 'F /G.TXT' 'H./I.TXT' 'good.txt'; do printf x >"$hostile/$name"; done
"$linux" pack -q "$hostile" -o "$work/hostile.pod" 2>/dev/null
if (cd "$work" && win verify hostile.pod >"$work/hostile.verify" 2>&1); then
  echo "FAIL: verify passed names Windows cannot keep" >&2
  status=1
fi
for line in 'DOT.: "DOT." ends in a dot or a blank' 'F /G.TXT: "F " ends in a dot or a blank' \
            'STAR*.TXT: "STAR*.TXT" holds a character Windows forbids'; do
  grep -qF "$line" "$work/hostile.verify" || { echo "FAIL: verify lacks [$line]:" >&2; cat "$work/hostile.verify" >&2; status=1; }
done
if (cd "$work" && win extract hostile.pod -C out-hostile -q >"$work/hostile.out" 2>&1); then
  echo "FAIL: extraction of names Windows cannot keep reported success" >&2
  status=1
fi
[ "$(ls -A "$work/out-hostile")" = "GOOD.TXT" ] || { echo "FAIL: extraction left: $(ls -A "$work/out-hostile")" >&2; status=1; }
# Names equal but for case land on one file there: verify says so, extraction names the one written over.
perl -e '
  my ($file, @names) = @ARGV;
  my $n = @names;
  my $names = join("", map { "$_\0" } @names);
  my ($dir, $offset) = ("", 0);
  for my $i (0 .. $n - 1) {
    $dir .= pack("V V V V V", $offset, 1, 288 + $i, 0x3EC6C54C, 0);
    $offset += length($names[$i]) + 1;
  }
  my $header = pack("a4 V a80 V V V V a80 a80 V V V V V V", "POD3", 0, "Case", $n, 0, 1000, 1000, "", "",
                    288 + $n, 0, length($names), 0, 0xFFFFFFFF, 0);
  open my $f, ">", $file or die;
  binmode $f;
  print $f $header, "ab", $dir, $names;' "$work/case.pod" AAA.TXT aaa.txt
(cd "$work" && win verify case.pod >"$work/case.verify" 2>&1) && { echo "FAIL: verify passed a case clash" >&2; status=1; }
grep -qF 'aaa.txt: lands on the same path as AAA.TXT' "$work/case.verify" ||
  { echo "FAIL: verify said: $(cat "$work/case.verify")" >&2; status=1; }
(cd "$work" && win extract case.pod -C out-case -q >"$work/case.out" 2>&1) && { echo "FAIL: a case clash extracted with exit 0" >&2; status=1; }
grep -qF 'written over by a later entry: AAA.TXT' "$work/case.out" ||
  { echo "FAIL: extract said: $(cat "$work/case.out")" >&2; status=1; }
exit $status
