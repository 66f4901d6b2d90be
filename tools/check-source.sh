#!/usr/bin/env bash
# Source checks run by ./test.sh: every C++ file is formatted, and core and engine report
# errors through results, never exceptions (only the programs' main() catch bad_alloc).
set -euo pipefail
cd "$(dirname "$0")/.."

dirs="core engine console gui toolkit tests bench fuzz"
files=$(git ls-files -- $(for d in $dirs; do printf '%s/*.cpp %s/*.h ' "$d" "$d"; done) 2>/dev/null)
if [ -n "$files" ]; then
    echo "$files" | xargs clang-format --dry-run --Werror
fi

hits=$(git grep -nwE 'throw|try|catch' -- core engine console gui toolkit 2>/dev/null \
    | grep -v -E '^(console|gui)/main\.cpp:' | grep -v -E '^[^:]+:[0-9]+:[[:space:]]*(//|\*)' || true)
if [ -n "$hits" ]; then
    echo "exceptions outside main():"
    echo "$hits"
    exit 1
fi
echo "source checks passed"
