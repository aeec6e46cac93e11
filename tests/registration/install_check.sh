#!/usr/bin/env bash
# Installs the build into a temporary prefix, as a user installs into ~/.local, and checks what
# lands there: the programs, the desktop entry, the MIME type, the icons and the metainfo, each
# through its validator when that tool is installed; then opens an archive through the desktop
# in a session whose PATH lacks the prefix's bin folder.
#   install_check.sh BUILD_DIR ICON_SIZE...
set -euo pipefail
build=$1
shift
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
prefix="$top/my local"

cmake --install "$build" --prefix "$prefix" >"$top/log" 2>&1 || { cat "$top/log"; exit 1; }

failed=0
expect() {
  if [ ! -s "$prefix/$1" ]; then
    echo "missing after install: $1"
    failed=1
  fi
}
for program in quillomar quillomar-cli; do
  expect "bin/$program"
  [ -x "$prefix/bin/$program" ] || { echo "not executable: bin/$program"; failed=1; }
done
expect share/applications/quillomar.desktop
expect share/mime/packages/quillomar.xml
expect share/metainfo/org.quillomar.quillomar.metainfo.xml
expect share/icons/hicolor/scalable/apps/quillomar.svg
for size in "$@"; do
  expect "share/icons/hicolor/${size}x${size}/apps/quillomar.png"
done

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/quillomar.desktop" || failed=1
else
  echo "desktop-file-validate not installed: skipped"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/org.quillomar.quillomar.metainfo.xml" >/dev/null || {
    appstreamcli validate --no-net "$prefix/share/metainfo/org.quillomar.quillomar.metainfo.xml"; failed=1; }
else
  echo "appstreamcli not installed: skipped"
fi
if command -v update-mime-database >/dev/null; then
  # The install refreshed the prefix's MIME database: POD archives are known by name and signature.
  grep -q ':application/x-pod-archive:\*\.pod' "$prefix/share/mime/globs2" || { echo "*.pod not in globs2"; failed=1; }
  grep -q 'application/x-pod-archive' "$prefix/share/mime/magic" || { echo "no magic for POD archives"; failed=1; }
fi
if command -v update-desktop-database >/dev/null; then
  grep -q 'application/x-pod-archive=quillomar.desktop;' "$prefix/share/applications/mimeinfo.cache" || {
    echo "quillomar.desktop not in mimeinfo.cache"; failed=1; }
fi
# The entry starts the installed program by its full path.
entry="$prefix/share/applications/quillomar.desktop"
grep -qxF "Exec=\"$prefix/bin/quillomar\" %f" "$entry" || { echo "Exec does not name $prefix/bin/quillomar:"; grep Exec "$entry"; failed=1; }
grep -qxF "TryExec=$prefix/bin/quillomar" "$entry" || { echo "TryExec does not name $prefix/bin/quillomar"; failed=1; }

if command -v xdg-open >/dev/null && command -v gio >/dev/null && command -v update-mime-database >/dev/null; then
  # The prefix's share folder is the user's data folder; the program only records how it was started.
  mv "$prefix/bin/quillomar" "$prefix/bin/quillomar.installed"
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" > "%s/opened"\n' "$top" > "$prefix/bin/quillomar"
  chmod +x "$prefix/bin/quillomar"
  printf 'POD3' > "$top/x.pod"
  mkdir -p "$top/home"
  env -i HOME="$top/home" XDG_DATA_HOME="$prefix/share" XDG_CONFIG_HOME="$top/home/.config" XDG_DATA_DIRS=/usr/share \
    XDG_CURRENT_DESKTOP=GNOME PATH=/usr/bin:/bin DISPLAY=:0 xdg-open "$top/x.pod" >"$top/log" 2>&1 || true
  for _ in 1 2 3 4 5 6 7 8 9 10; do [ -s "$top/opened" ] && break; sleep 0.5; done
  if [ "$(cat "$top/opened" 2>/dev/null)" != "$top/x.pod" ]; then
    echo "xdg-open did not start the installed program on the archive:"; cat "$top/log"; failed=1
  fi
else
  echo "xdg-open or gio not installed: opening through the desktop skipped"
fi
exit $failed
