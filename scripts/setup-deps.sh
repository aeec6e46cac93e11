#!/usr/bin/env bash
# Installs the Debian packages that the named groups need, and nothing when all are present.
# Idempotent, asks nothing; each make target names the groups it uses:
#
#   run              build and run the Linux programs (make run, make build, make package)
#   test             the Linux tests (make test)
#   asan             the sanitizer build (make test-asan)
#   fuzz             the libFuzzer targets (make fuzz)
#   windows          the Windows cross-build and its tests under Wine (make windows, make test-windows)
#   package          the Debian package and its check (make package)
#   package-windows  the Windows installer (make package-windows, make test-windows)
#   bench            the benchmarks (make bench)
#   all              every group (CI)
#
#   setup-deps.sh GROUP...      (no group: run)
set -euo pipefail

group_packages() {
  case $1 in
    run)
      # The compiler and build tools, the libraries the programs link, the icon renderer the build
      # uses; at run time the desktop's "open" (xdg-utils, and file, which xdg-open asks for a
      # file's type where no desktop of its own answers; CPack's dependency search needs it too),
      # the French texts of Qt and the C library, and FUSE for mounting an archive.
      echo build-essential cmake ninja-build pkg-config \
        qt6-base-dev libgl-dev libicu-dev libcli11-dev nlohmann-json3-dev librsvg2-bin \
        libfuse3-dev fuse3 xdg-utils file qt6-translations-l10n libc-l10n ;;
    test)
      # GoogleTest, the validators and databases of the desktop files, gio, groff for the manuals,
      # a virtual display and xdotool for the window's real-input test, tmux for the completion's
      # interactive bash.
      echo libgtest-dev libgmock-dev desktop-file-utils appstream shared-mime-info libglib2.0-bin \
        groff-base xvfb xauth xdotool tmux ;;
    asan | fuzz)
      echo clang libclang-rt-14-dev ;;
    windows)
      # mingw-w64 and the sources of GoogleTest for the cross-build, icotool for icon 207, Wine and
      # a virtual display for the tests.
      echo g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest icoutils \
        wine wine64 xvfb xauth xdotool x11-utils ;;
    package)
      # dpkg-shlibdeps (dpkg-dev, also part of build-essential) and lintian.
      echo dpkg-dev lintian ;;
    package-windows)
      echo nsis ;;
    bench)
      # xvfb and xdotool drive the real window program in the content window's benchmark.
      echo time xvfb xdotool ;;
    all)
      for g in run test asan windows package package-windows bench; do group_packages "$g"; done ;;
    *)
      echo "setup: unknown group \"$1\" (run, test, asan, fuzz, windows, package, package-windows, bench, all)" >&2
      return 1 ;;
  esac
}

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(run)
packages=()
for g in "${groups[@]}"; do
  list=$(group_packages "$g") || exit 2
  read -r -a words <<<"$list"
  packages+=("${words[@]}")
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    case " ${missing[*]} " in *" $p "*) ;; *) missing+=("$p") ;; esac
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
