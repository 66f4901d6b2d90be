#!/usr/bin/env bash
# Times whole text comparisons against GNU diff on generated file pairs and prints a table:
#   bench/vs_diff.sh [path of compare_bench]
# Without a path, compare_bench is built (Release) in build/bench. The pairs are written to a
# temporary folder with a fixed seed, so every run compares the same files:
#   changes-100k  100,000 lines, 1% of the lines changed, a few blocks inserted and deleted
#   changes-1m    the same with 1,000,000 lines
#   common-1m     1,000,000 lines, 30% of them '}', '' or 'return 0;', a 50,000-line block
#                 deleted from the right side
#   same-1m       two identical 1,000,000-line files
# The two programs take turns, seven runs each per pair, and each one's best wall time counts
# (diff writes its normal output to /dev/null): taking turns keeps a machine that speeds up or
# slows down meanwhile from favouring either. Peak memory is compare_bench's own maximum resident size;
# "net B/line" leaves out what the program holds when it compares two one-line files.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
. "$here/bench/build_release.sh"

bench="${1:-}"
if [ -z "$bench" ]; then
    build="$here/build/bench"
    kesta_build_release vs_diff.sh "$build" ON compare_bench
    bench="$build/bench/compare_bench"
fi
[ -x "$bench" ] || { echo "vs_diff.sh: $bench is not a program" >&2; exit 1; }
command -v diff >/dev/null || { echo "vs_diff.sh: diff is not installed" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/kesta_vs_diff.XXXXXX")"
trap 'rm -rf "$work"' EXIT

PYTHONPATH="$here/bench" python3 - "$work" "$bench" <<'EOF'
import os
import subprocess
import sys
import time

work, bench = sys.argv[1], sys.argv[2]
from textgen import fresh_line, rnd, with_changes, write_lines


def write(name, lines):
    return write_lines(os.path.join(work, name), lines)


pairs = []
for name, count in (("changes-100k", 100_000), ("changes-1m", 1_000_000)):
    left = [fresh_line() for _ in range(count)]
    pairs.append((name, write(name + ".left", left),
                  write(name + ".right", with_changes(left, 5))))

common = ["}", "", "return 0;"]
left = [rnd.choice(common) if rnd.random() < 0.3 else fresh_line() for _ in range(1_000_000)]
right = left[:400_000] + left[450_000:]
pairs.append(("common-1m", write("common-1m.left", left), write("common-1m.right", right)))

same = [fresh_line() for _ in range(1_000_000)]
pairs.append(("same-1m", write("same-1m.left", same), write("same-1m.right", same)))


ROUNDS = 7


def run_once(command):
    start = time.perf_counter()
    run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    seconds = time.perf_counter() - start
    if run.returncode not in (0, 1):
        sys.exit(f"vs_diff.sh: {command[0]} failed: {run.stderr.strip()}")
    return seconds, run.stdout


def best_in_turns(commands, rounds=ROUNDS):
    """Runs the commands in turn, rounds times; the best time and its output of each."""
    best = [(None, "")] * len(commands)
    for _ in range(rounds):
        for k, command in enumerate(commands):
            seconds, output = run_once(command)
            if best[k][0] is None or seconds < best[k][0]:
                best[k] = (seconds, output)
    return best


def report(left_path, right_path):
    [(_, output)] = best_in_turns([[bench, left_path, right_path]], 3)
    return dict(item.split("=") for item in output.split())


baseline_kb = int(report(write("tiny.left", ["a"]), write("tiny.right", ["b"]))["peak_kb"])
print(f"{'pair':<14}{'diff s':>9}{'ours s':>9}{'ratio':>8}{'load s':>9}{'match s':>9}"
      f"{'peak MB':>9}{'B/line':>8}{'net B/line':>11}")
for name, left_path, right_path in pairs:
    (diff_seconds, _), (ours_seconds, report) = best_in_turns(
        [["sh", "-c", 'exec diff "$0" "$1" >/dev/null', left_path, right_path],
         [bench, left_path, right_path]])
    fields = dict(item.split("=") for item in report.split())
    peak_bytes = int(fields["peak_kb"]) * 1024
    per_line = peak_bytes / int(fields["lines"])
    net_per_line = (int(fields["peak_kb"]) - baseline_kb) * 1024 / int(fields["lines"])
    print(f"{name:<14}{diff_seconds:9.3f}{ours_seconds:9.3f}{ours_seconds / diff_seconds:8.2f}"
          f"{float(fields['load_s']):9.3f}{float(fields['match_s']):9.3f}"
          f"{peak_bytes / 2**20:9.1f}{per_line:8.1f}{net_per_line:11.1f}")
EOF
