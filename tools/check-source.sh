#!/usr/bin/env bash
# Source checks run by ./test.sh: every C++ file is formatted, and core and engine report
# errors through results, never exceptions (only the programs' main() catch bad_alloc).
set -euo pipefail
cd "$(dirname "$0")/.."

files=$(git ls-files -- '*.cpp' '*.h' 2>/dev/null || find core engine console gui toolkit tests bench fuzz -name '*.cpp' -o -name '*.h')
if [ -n "$files" ]; then
    echo "$files" | xargs clang-format --dry-run --Werror
fi

hits=$(git grep -nwE 'throw|try|catch' -- core engine console gui toolkit 2>/dev/null \
    | grep -v -E '^(console|gui)/main\.cpp:' || true)
if [ -n "$hits" ]; then
    echo "exceptions outside main():"
    echo "$hits"
    exit 1
fi
echo "source checks passed"
