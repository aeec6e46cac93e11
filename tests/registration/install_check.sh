#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what lands there: the programs, the
# desktop entry, the MIME type, the icons and the metainfo, each through its validator when
# that tool is installed.
#   install_check.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || { cat "$prefix.log"; rm -f "$prefix.log"; exit 1; }
rm -f "$prefix.log"

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
for size in 16 32 48 256; do
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
exit $failed
