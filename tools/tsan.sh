#!/usr/bin/env bash
# Builds the tests that run work on two threads (the right side's loader, the side-by-side
# helper and their callers) with ThreadSanitizer in build/tsan and runs them. Any race or other
# report the sanitizer makes fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

tests=(side_by_side_test item_test comparison_test difffile_test line_matching_test)

CC=clang CXX=clang++ cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTA_TSAN=ON -DKESTA_BENCH=OFF >/dev/null
cmake --build build/tsan -j2 --target "${tests[@]}"

export LC_ALL=C TZ=UTC
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
# The sanitizer needs the memory layout it was built for; a kernel that randomises more of the
# address space than it expects is asked for the classic layout.
run=()
if command -v setarch >/dev/null && setarch "$(uname -m)" -R true 2>/dev/null; then
    run=(setarch "$(uname -m)" -R)
fi
failed=0
for test in "${tests[@]}"; do
    if ! "${run[@]}" "build/tsan/tests/$test" --gtest_brief=1; then
        echo "tsan: $test failed" >&2
        failed=1
    fi
done
exit $failed
