#!/usr/bin/env bash
# Builds kesta if needed and runs it: `./run.sh [options] [left [right]]` compares the sides
# given with kestacon (examples/left and examples/right when none are given).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

"$here/tools/install-deps.sh" run
build="$here/build/release"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DKESTA_TESTS=OFF -DKESTA_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j2 --target kestacon >/dev/null

if [ "${1:-}" = "--gui" ]; then
    echo "kesta (the windowed program) is not built yet; use kestacon." >&2
    exit 1
fi

sides=0
for a in "$@"; do case "$a" in -*) ;; *) sides=1 ;; esac; done
if [ "$sides" = 0 ]; then
    exec "$build/kestacon" "$@" "$here/examples/left" "$here/examples/right"
fi
exec "$build/kestacon" "$@"
