#!/usr/bin/env bash
# Installs a build into a scratch folder as a package would (DESTDIR) and checks that the
# installed kesta works from there: every file in place, the desktop entry and AppStream data
# valid, no path of the build tree kept in any installed file, both programs run and find the
# image module, and CPack makes a Debian package with the expected contents.
# Usage: tools/check-install.sh <build folder configured with CMAKE_INSTALL_PREFIX=/usr>
set -euo pipefail
build="$(cd "${1:?usage: $0 <build folder>}" && pwd)"
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

root="$scratch/root"
DESTDIR="$root" cmake --install "$build" >/dev/null
prefix="$root/usr"
libdir="$( (ls -d "$prefix"/lib/*/kesta "$prefix"/lib/kesta 2>/dev/null || true) | head -n1)"
[ -n "$libdir" ] || fail "no private library folder lib/kesta"

for f in bin/kesta bin/kestacon share/man/man1/kesta.1 share/man/man1/kestacon.1 \
         share/applications/kesta.desktop share/icons/hicolor/scalable/apps/kesta.svg \
         share/icons/hicolor/48x48/apps/kesta.png share/icons/hicolor/256x256/apps/kesta.png \
         share/metainfo/io.github.kesta.Kesta.metainfo.xml \
         share/bash-completion/completions/kestacon; do
    [ -e "$prefix/$f" ] || fail "missing $f"
done
[ -e "$libdir/kesta_image_gm.so" ] || fail "missing the image module in $libdir"
if [ -d "$source_dir/help" ]; then
    [ -n "$(ls -A "$prefix/share/kesta/help")" ] || fail "help pages not installed"
fi

desktop-file-validate "$prefix/share/applications/kesta.desktop"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/io.github.kesta.Kesta.metainfo.xml" \
    >/dev/null || { appstreamcli validate --no-net --pedantic \
                    "$prefix/share/metainfo/io.github.kesta.Kesta.metainfo.xml"; fail "metainfo"; }
if grep -rlF "$build" "$root" >/dev/null; then
    fail "installed files name the build tree: $(grep -rlF "$build" "$root" | tr '\n' ' ')"
fi

version="$(sed -n 's/^project(kesta VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")"
"$prefix/bin/kestacon" --version | grep -qF "$version" || fail "kestacon --version"
"$prefix/bin/kesta" --version 2>/dev/null | grep -qF "$version" || fail "kesta --version"

# Both programs from the installed tree: a text pair, and two pictures whose comparison needs
# the image module (no message about it on standard error).
work="$scratch/work"
mkdir -p "$work/a" "$work/b"
printf 'one\ntwo\n' >"$work/a/t.txt"
printf 'one\nthree\n' >"$work/b/t.txt"
bmp() { # width height -> a 24-bit BMP on standard output
    local w=$1 h=$2 row=$(( ($1 * 3 + 3) / 4 * 4 ))
    local size=$((54 + row * h))
    le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 24) & 255)))"; }
    printf 'BM'; le32 "$size"; le32 0; le32 54; le32 40; le32 "$w"; le32 "$h"
    printf '\x01\x00\x18\x00'; le32 0; le32 $((row * h)); le32 2835; le32 2835; le32 0; le32 0
    head -c $((row * h)) /dev/zero
}
bmp 4 3 >"$work/a/p.bmp"
bmp 5 3 >"$work/b/p.bmp"
"$prefix/bin/kestacon" "$work/a/t.txt" "$work/b/t.txt" >"$work/out" 2>"$work/err" \
    || fail "installed kestacon failed on text"
grep -q three "$work/out" || fail "installed kestacon report"
"$prefix/bin/kestacon" "$work/a/p.bmp" "$work/b/p.bmp" >"$work/out" 2>"$work/err" \
    || fail "installed kestacon failed on pictures"
[ ! -s "$work/err" ] || fail "installed kestacon: $(cat "$work/err")"
QT_QPA_PLATFORM=offscreen KESTA_TEST_QUIT_AFTER_PAINT=1 timeout 60 \
    "$prefix/bin/kesta" "$work/a" "$work/b" >/dev/null 2>"$work/err" \
    || fail "installed kesta failed: $(cat "$work/err")"

# The Debian package: its dependencies come from the binaries, its files from the install.
if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null; then
    (cd "$build" && cpack -G DEB -B "$scratch/deb" >/dev/null) || fail "cpack -G DEB"
    deb="$(ls "$scratch"/deb/kesta_*.deb)"
    depends="$(dpkg-deb -f "$deb" Depends)"
    for d in libqt6widgets6 libgraphicsmagick qt6-qpa-plugins; do
        grep -q "$d" <<<"$depends" || fail "package does not depend on $d: $depends"
    done
    contents="$(dpkg-deb -c "$deb")"
    for f in ./usr/bin/kesta ./usr/bin/kestacon kesta/kesta_image_gm.so kesta.desktop; do
        grep -qF "$f" <<<"$contents" || fail "package lacks $f"
    done
fi
echo "install check passed"
