#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Works as root or, through sudo, as a user. Extra groups by name:
#   fuzz    clang 14 with libFuzzer and its sanitizers
#   kernel  QEMU and what the kernel test bench builds its guest from
#   windows the mingw-w64 cross compiler, Wine, NSIS and zip for the Windows build
#   team    a PostgreSQL 15 server, psql and openssl for the team tests' own server
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libqt6svg6 libgl-dev
  libudev-dev libsqlite3-dev libpq-dev
  libgtest-dev googletest
  xvfb xauth fonts-dejavu-core
  dpkg-dev file poppler-utils
)
for group in "$@"; do
  case $group in
    fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    kernel) packages+=(qemu-system-x86 kmod busybox-static cpio udev) ;;
    team) packages+=(postgresql-15 postgresql-client-15 openssl) ;;
    windows) packages+=(g++-mingw-w64-x86-64-posix wine64 fonts-wine nsis zip dpkg-dev
                        librsvg2-bin icoutils x11-apps netpbm tcl) ;;
    *) echo "install-deps.sh: unknown group $group" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then as_root=(); else as_root=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
