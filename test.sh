#!/usr/bin/env bash
# Installs what is missing, checks formatting and wording, builds, and runs every test through
# CTest; then builds again with AddressSanitizer and UndefinedBehaviorSanitizer (and the
# libFuzzer targets) and runs the suite once more. Exits non-zero on any failure.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"

tools/install-deps.sh test
export LC_ALL=C TZ=UTC

echo "== format and error-handling checks"
tools/check-source.sh

echo "== build and test (release with assertions)"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test -j2
ctest --test-dir build/test -j2 --output-on-failure

echo "== build and test (AddressSanitizer + UndefinedBehaviorSanitizer, clang, fuzzers)"
CC=clang CXX=clang++ cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DKESTA_SANITIZE=ON -DKESTA_FUZZ=ON -DKESTA_BENCH=OFF >/dev/null
cmake --build build/sanitize -j2
ctest --test-dir build/sanitize -j2 --output-on-failure
