#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing, so
# that a second run installs nothing. When another installation holds the package manager's
# lock, waits for it (KESTA_APT_WAIT seconds, 300 by default) instead of failing at once.
# Usage: tools/install-deps.sh [run|test|package]
set -euo pipefail

mode="${1:-run}"
packages=(cmake ninja-build g++ pkg-config zlib1g-dev libgraphicsmagick++1-dev qt6-base-dev
          fonts-dejavu-core)
case "$mode" in
    run) ;;
    test)
        packages+=(clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
                   clang-format diffutils util-linux
                   binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
                   desktop-file-utils appstream dpkg-dev file) ;;
    package) packages+=(dpkg-dev file) ;;
    *) echo "usage: $0 [run|test|package]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

# Runs apt-get, waiting while another process holds the dpkg or apt lock.
apt_get() {
    local waited=0 limit="${KESTA_APT_WAIT:-300}" told=0 log
    log="$(mktemp)"
    while true; do
        if $sudo apt-get -o DPkg::Lock::Timeout=0 "$@" >"$log" 2>&1; then
            rm -f "$log"
            return 0
        fi
        if ! grep -qiE 'could not get lock|unable to acquire|is another process using it' "$log"; then
            cat "$log" >&2
            rm -f "$log"
            return 1
        fi
        if [ "$waited" -ge "$limit" ]; then
            echo "Another installation still holds the package manager's lock after ${limit} s;" \
                 "run this again when it has finished (or set KESTA_APT_WAIT)." >&2
            rm -f "$log"
            return 1
        fi
        if [ "$told" -eq 0 ]; then
            echo "Waiting for another installation to release the package manager's lock..."
            told=1
        fi
        sleep 5
        waited=$((waited + 5))
    done
}

echo "Installing: ${missing[*]}"
apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}"
