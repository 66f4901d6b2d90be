#!/usr/bin/env bash
# Builds the Debian package of kesta in one command: a Release build installed under /usr,
# packed by CPack. The package is left in build/deb/ and its name printed.
# Usage: tools/build-deb.sh
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"

tools/install-deps.sh package
cmake -S . -B build/deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DKESTA_TESTS=OFF -DKESTA_BENCH=OFF >/dev/null
cmake --build build/deb -j2
(cd build/deb && cpack -G DEB >/dev/null)
ls "$here"/build/deb/kesta_*.deb
