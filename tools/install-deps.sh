#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing, so
# that a second run installs nothing. Usage: tools/install-deps.sh [run|test]
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config zlib1g-dev libgraphicsmagick++1-dev qt6-base-dev
          fonts-dejavu-core)
if [ "${1:-run}" = test ]; then
    packages+=(clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
               clang-format diffutils util-linux
               binutils-mingw-w64-x86-64 binutils-mingw-w64-i686)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
