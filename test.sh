#!/usr/bin/env bash
# Installs what is missing, checks formatting and wording, builds (Release, warnings as errors)
# and runs every test through CTest, checks an installed tree and the Debian package, then
# builds again with AddressSanitizer and UndefinedBehaviorSanitizer (and the libFuzzer
# targets) and runs the suite once more. The steps print one line each; their full output goes
# to build/test.log. Ends with a summary and exits non-zero on any failure.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"
mkdir -p build
log="$here/build/test.log"
: >"$log"
started=$SECONDS
tests_run=0
tests_failed=0

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

finish() {
    local status=$?
    echo "$tests_run tests run, $tests_failed failed, $((SECONDS - started)) s (full log: $log)"
    [ $status -ne 0 ] && echo "FAILED (see the end of $log)"
    exit $status
}
trap finish EXIT

# Runs one step quietly: its name on the terminal, its output in the log, and the end of the
# log on the terminal when it fails.
step() {
    local name="$1"
    shift
    printf '== %s\n' "$name"
    printf '\n== %s\n' "$name" >>"$log"
    if ! "$@" >>"$log" 2>&1; then
        echo "-- $name failed; the last lines of $log:"
        tail -n 40 "$log"
        return 1
    fi
}

# Runs a CTest suite in one build folder and adds its counts to the summary.
suite() {
    local build="$1" out
    out="$(mktemp)"
    printf '== tests in %s\n' "$build"
    printf '\n== tests in %s\n' "$build" >>"$log"
    local status=0
    ctest --test-dir "$build" -j2 --output-on-failure >"$out" 2>&1 || status=$?
    cat "$out" >>"$log"
    local line
    line="$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$out" | tail -n1 || true)"
    if [ -n "$line" ]; then
        tests_run=$((tests_run + $(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")))
        tests_failed=$((tests_failed + $(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")))
    fi
    if [ $status -ne 0 ]; then
        grep -A40 -E 'The following tests FAILED' "$out" || tail -n 40 "$out"
        rm -f "$out"
        return 1
    fi
    rm -f "$out"
}

step "installing what is missing" tools/install-deps.sh test
export LC_ALL=C TZ=UTC

step "format and error-handling checks" tools/check-source.sh

step "configure (g++, Release, warnings as errors)" \
    cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTA_WERROR=ON \
    -DCMAKE_INSTALL_PREFIX=/usr "${launcher[@]}"
step "build" cmake --build build/test -j2
suite build/test

step "install check and Debian package" tools/check-install.sh build/test

if [ -x tools/tsan.sh ]; then
    step "ThreadSanitizer build and the two-thread tests" tools/tsan.sh
fi

step "configure (clang, AddressSanitizer + UndefinedBehaviorSanitizer, fuzzers)" \
    env CC=clang CXX=clang++ cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DKESTA_SANITIZE=ON -DKESTA_FUZZ=ON -DKESTA_BENCH=OFF -DKESTA_WERROR=ON "${launcher[@]}"
step "build (sanitizers)" cmake --build build/sanitize -j2
suite build/sanitize
