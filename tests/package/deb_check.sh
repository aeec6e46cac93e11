#!/usr/bin/env bash
# Builds the Debian package from the build folder into a temporary folder and checks it as dpkg
# sees it: the control fields, exactly the files expected with their owners and modes, stripped
# binaries that still run, the desktop entry naming the installed program, the documents Debian
# asks for, and compressed files without a name or time inside.
#   deb_check.sh BUILD_DIR VERSION ICON_SIZE...
set -euo pipefail
build=$1
version=$2
shift 2
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT

(cd "$build" && cpack -G DEB -B "$top/out") >"$top/log" 2>&1 || { cat "$top/log"; exit 1; }
deb="$top/out/quillomar_${version}_amd64.deb"
[ -f "$deb" ] || { echo "no $deb:"; ls "$top/out"; exit 1; }

failed=0
bad() { echo "$*"; failed=1; }

field() { dpkg-deb -f "$deb" "$1"; }
for pair in "Package=quillomar" "Version=$version" "Architecture=amd64" "Section=utils" "Priority=optional"; do
  name=${pair%%=*}
  [ "$(field "$name")" = "${pair#*=}" ] || bad "$name is \"$(field "$name")\", not \"${pair#*=}\""
done
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || bad "Maintainer \"$(field Maintainer)\" is not NAME <ADDRESS>"
# The libraries come from dpkg-shlibdeps: the window program's Qt and the C library, each with a
# lowest version.
depends=$(field Depends)
for library in libc6 libqt6widgets6 libqt6core6; do
  [[ "$depends" =~ (^|, )$library\ \(\>=\ [^\)]+\) ]] || bad "Depends lacks $library with a version: $depends"
done
description=$(field Description)
summary=$(head -n 1 <<<"$description")
[ -n "$summary" ] && [ "${#summary}" -lt 80 ] || bad "short description \"$summary\""
[ "$(wc -l <<<"$description")" -ge 4 ] || bad "no long description"
while IFS= read -r line; do
  [ "${#line}" -le 80 ] || bad "description line over 80 characters: $line"
done <<<"$description"

# Every file and folder with its owner and mode; folders dpkg makes for every package aside.
expected=(
  "-rwxr-xr-x ./usr/bin/quillomar"
  "-rwxr-xr-x ./usr/bin/quillomar-cli"
  "-rw-r--r-- ./usr/share/applications/quillomar.desktop"
  "-rw-r--r-- ./usr/share/bash-completion/completions/quillomar-cli"
  "-rw-r--r-- ./usr/share/doc/quillomar/changelog.gz"
  "-rw-r--r-- ./usr/share/doc/quillomar/copyright"
  "-rw-r--r-- ./usr/share/icons/hicolor/scalable/apps/quillomar.svg"
  "-rw-r--r-- ./usr/share/man/man1/quillomar-cli.1.gz"
  "-rw-r--r-- ./usr/share/man/man1/quillomar.1.gz"
  "-rw-r--r-- ./usr/share/metainfo/org.quillomar.quillomar.metainfo.xml"
  "-rw-r--r-- ./usr/share/mime/packages/quillomar.xml"
)
for size in "$@"; do
  expected+=("-rw-r--r-- ./usr/share/icons/hicolor/${size}x${size}/apps/quillomar.png")
done
dpkg-deb -c "$deb" >"$top/contents"
awk '$1 !~ /^d/ { print $1, $6 }' "$top/contents" | sort >"$top/files"
printf '%s\n' "${expected[@]}" | sort >"$top/expected"
diff -u "$top/expected" "$top/files" || bad "the package's files differ from the expected ones (- expected, + found)"
awk '$2 != "root/root" { print }' "$top/contents" | grep . && bad "entries not owned by root/root"
awk '$1 ~ /^d/ && $1 != "drwxr-xr-x" { print }' "$top/contents" | grep . && bad "folders not drwxr-xr-x"

dpkg-deb -x "$deb" "$top/root"
for program in quillomar quillomar-cli; do
  readelf -S "$top/root/usr/bin/$program" | grep -q '\.debug_\|\.symtab' && bad "$program is not stripped"
done
"$top/root/usr/bin/quillomar-cli" --version >"$top/version" 2>&1 || bad "the packaged quillomar-cli does not run: $(cat "$top/version")"
grep -qxF 'Exec=/usr/bin/quillomar %f' "$top/root/usr/share/applications/quillomar.desktop" ||
  bad "the desktop entry does not start /usr/bin/quillomar: $(grep Exec "$top/root/usr/share/applications/quillomar.desktop")"

doc="$top/root/usr/share/doc/quillomar"
[ "$(head -n 1 "$doc/copyright")" = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
  bad "copyright is not in the machine-readable format"
[ "$(gzip -dc "$doc/changelog.gz" | head -n 1)" = "quillomar ($version) unstable; urgency=medium" ] ||
  bad "the changelog's first entry is not version $version"
# gzip -n: no file name (flag bit 3) and a zero time (bytes 4 to 7) in the header.
for gz in "$doc/changelog.gz" "$top"/root/usr/share/man/man1/*.gz; do
  gzip -t "$gz" || bad "$gz is not gzip"
  header=$(od -An -tx1 -N8 "$gz" | tr -d ' \n')
  [ "${header:6:2}" = "00" ] && [ "${header:8:8}" = "00000000" ] || bad "$gz keeps a name or time: $header"
done
exit $failed
