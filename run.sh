#!/usr/bin/env bash
# Builds kesta if needed and runs it: `./run.sh [options] [left [right]]` compares the sides
# given with kestacon (examples/left and examples/right when none are given);
# `./run.sh --gui [options] [left right]` starts the desktop program kesta instead.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

"$here/tools/install-deps.sh" run
build="$here/build/release"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DKESTA_TESTS=OFF -DKESTA_BENCH=OFF >/dev/null
fi

if [ "${1:-}" = "--gui" ]; then
    shift
    cmake --build "$build" -j2 --target kesta >/dev/null
    sides=0
    for a in "$@"; do case "$a" in -*) ;; *) sides=1 ;; esac; done
    if [ "$sides" = 0 ]; then
        exec "$build/kesta" "$@" "$here/examples/left" "$here/examples/right"
    fi
    exec "$build/kesta" "$@"
fi
cmake --build "$build" -j2 --target kestacon >/dev/null

sides=0
for a in "$@"; do case "$a" in -*) ;; *) sides=1 ;; esac; done
if [ "$sides" = 0 ]; then
    exec "$build/kestacon" "$@" "$here/examples/left" "$here/examples/right"
fi
exec "$build/kestacon" "$@"
