#!/usr/bin/env bash
# Installs what the build and the tests need on Debian, once; a machine that
# has everything is left alone.
set -euo pipefail

if [ "${1:-}" = "--help" ]; then
  echo "usage: $0   installs the Debian packages the build and the tests need (apt-get), if missing"
  exit 0
fi

packages=(
  cmake g++ make git python3 iproute2 util-linux
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  g++-mingw-w64-i686-win32 mingw-w64-i686-dev binutils-mingw-w64-i686
  python3-pefile
  qemu-user-static wine64
)
i386_packages=(wine32:i386)

missing=()
for p in "${packages[@]}" "${i386_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
