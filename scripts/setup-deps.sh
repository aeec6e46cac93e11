#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and nothing when all are present.
# Idempotent; used by `make run`, `make test` and CI.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libicu-dev libcli11-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  desktop-file-utils appstream shared-mime-info librsvg2-bin time
  qt6-translations-l10n libc-l10n
  xdg-utils libglib2.0-bin
  libfuse3-dev fuse3
  groff-base
  icoutils xvfb xauth xdotool x11-utils
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest wine wine64
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
