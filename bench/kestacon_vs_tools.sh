#!/usr/bin/env bash
# Times the whole kestacon program against the usual tools on generated data and prints a table:
#   bench/kestacon_vs_tools.sh [path of kestacon]
# Without a path, kestacon is built (Release) in build/release. Everything is written to a
# temporary folder with a fixed seed, so every run measures the same data:
#   text-100k, text-1m  text pairs of 100,000 and 1,000,000 lines, 1% of the lines changed and
#                       a few blocks inserted and deleted; against diff (normal output)
#   tree-10k, tree-100k two trees of 10,000 and 100,000 files in folders of 100; 2% of the
#                       files changed at equal size, 1% on one side only. kestacon with its
#                       default letters (but looking into subfolders, -gu-) against find
#                       listing both trees, and with -gc (contents) against diff -rq
#   flat-100k           one folder of 100,000 small files on each side (1% changed at equal
#                       size, 1% on one side only): a single large folder, listed and compared
#                       the same two ways
#   startup             two 10-line files, many runs, against diff
# Every output goes to /dev/null. Each program runs several times per case and the best wall
# time counts. Peak memory (with /usr/bin/time) is kestacon's maximum resident size divided by
# the entries listed on both sides.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
. "$here/bench/build_release.sh"

kestacon="${1:-}"
if [ -z "$kestacon" ]; then
    build="$here/build/release"
    kesta_build_release kestacon_vs_tools.sh "$build" OFF kestacon
    kestacon="$build/kestacon"
fi
[ -x "$kestacon" ] || { echo "kestacon_vs_tools.sh: $kestacon is not a program" >&2; exit 1; }
for tool in diff find; do
    command -v "$tool" >/dev/null || { echo "kestacon_vs_tools.sh: $tool is not installed" >&2; exit 1; }
done
timer=""
if [ -x /usr/bin/time ]; then
    timer=/usr/bin/time
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/kesta_vs_tools.XXXXXX")"
trap 'rm -rf "$work"' EXIT

PYTHONPATH="$here/bench" python3 - "$work" "$kestacon" "$timer" <<'PYEOF'
import os
import subprocess
import sys
import time

work, kestacon, timer = sys.argv[1], sys.argv[2], sys.argv[3]
from textgen import fresh_line, rnd, with_changes, write_lines


write = write_lines


def make_trees(name, count):
    """Two trees of count files: 2% differ at equal size, 1% exist on one side only."""
    left, right = os.path.join(work, name + ".left"), os.path.join(work, name + ".right")
    changed = set(rnd.sample(range(count), count // 50))
    single = rnd.sample(sorted(set(range(count)) - changed), count // 100)
    only_left, only_right = set(single[: len(single) // 2]), set(single[len(single) // 2:])
    for k in range(count):
        folder = f"d{k // 100:04d}"
        for root in (left, right):
            os.makedirs(os.path.join(root, folder), exist_ok=True)
        body = "".join(f"{fresh_line()}\n" for _ in range(rnd.randrange(1, 20)))
        stamp = 1_600_000_000 + rnd.randrange(10_000_000)
        for root, skip in ((left, only_right), (right, only_left)):
            if k in skip:
                continue
            text = body
            if root == right and k in changed:
                at = rnd.randrange(len(body) - 1)
                text = body[:at] + ("x" if body[at] != "x" else "y") + body[at + 1:]
            path = os.path.join(root, folder, f"file{k:06d}.txt")
            with open(path, "w") as f:
                f.write(text)
            os.utime(path, (stamp, stamp))
    entries = sum(len(files) + len(dirs) for root in (left, right)
                  for _, dirs, files in os.walk(root))
    return left, right, entries


def make_flat(name, count):
    """Two folders of count small files each, side by side in one folder per side."""
    left, right = os.path.join(work, name + ".left"), os.path.join(work, name + ".right")
    os.makedirs(left)
    os.makedirs(right)
    for k in range(count):
        body = f"entry {k}\n" * (1 + k % 5)
        stamp = 1_600_000_000 + k
        for root in (left, right):
            if k % 100 == (1 if root == left else 2):
                continue  # on the other side only
            text = body.replace("entry", "Entry", 1) if root == right and k % 100 == 3 else body
            path = os.path.join(root, f"f{k:06d}.txt")
            with open(path, "w") as f:
                f.write(text)
            os.utime(path, (stamp, stamp))
    return left, right, len(os.listdir(left)) + len(os.listdir(right))


def best_of(runs, command, measure_memory=False):
    """The best wall time of runs, and the largest peak resident size in KiB (or None)."""
    best, peak = None, None
    for _ in range(runs):
        full = command
        if measure_memory and timer:
            full = [timer, "-f", "%M", "-o", os.path.join(work, "peak")] + command
        start = time.perf_counter()
        run = subprocess.run(full, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        seconds = time.perf_counter() - start
        if run.returncode not in (0, 1):
            sys.exit(f"kestacon_vs_tools.sh: {command[0]} failed: {run.stderr.strip()}")
        if best is None or seconds < best:
            best = seconds
        if measure_memory and timer:
            with open(os.path.join(work, "peak")) as f:
                kib = int(f.read().split()[-1])
            peak = kib if peak is None else max(peak, kib)
    return best, peak


def many_runs(count, command):
    start = time.perf_counter()
    for _ in range(count):
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.perf_counter() - start) / count


rows = []


def row(case, tool, tool_s, ours, ours_s, target, peak=None, entries=None):
    per_entry = f"{peak * 1024 / entries:.0f}" if peak is not None and entries else "-"
    rows.append((case, tool, tool_s, ours, ours_s, ours_s / tool_s, target, per_entry))


for name, count in (("text-100k", 100_000), ("text-1m", 1_000_000)):
    lines = [fresh_line() for _ in range(count)]
    left = write(os.path.join(work, name + ".left"), lines)
    right = write(os.path.join(work, name + ".right"), with_changes(lines, 5))
    diff_s, _ = best_of(3, ["diff", left, right])
    ours_s, _ = best_of(3, [kestacon, left, right])
    row(name, "diff", diff_s, "kestacon", ours_s, "<= 0.6")

for name, count in (("tree-10k", 10_000), ("tree-100k", 100_000), ("flat-100k", 100_000)):
    make = make_flat if name.startswith("flat") else make_trees
    left, right, entries = make(name, count)
    find_s, _ = best_of(3, ["find", left, right, "-printf", "%s %T@ %p\\n"])
    ours_s, peak = best_of(3, [kestacon, "-gu-", left, right], measure_memory=True)
    row(name, "find both", find_s, "default", ours_s, "<= 1.5", peak, entries)
    diffq_s, _ = best_of(3, ["diff", "-rq", left, right])
    content_s, peak = best_of(3, [kestacon, "-gu-", "-gc", left, right], measure_memory=True)
    row(name, "diff -rq", diffq_s, "-gc", content_s, "<= 1.2", peak, entries)

small = [fresh_line() for _ in range(10)]
left = write(os.path.join(work, "small.left"), small)
right = write(os.path.join(work, "small.right"), with_changes(small, 0)[:9] + [fresh_line()])
runs = 300
diff_s = many_runs(runs, ["diff", left, right])
ours_s = many_runs(runs, [kestacon, left, right])
row(f"startup x{runs}", "diff", diff_s, "kestacon", ours_s, "<= 1.5")

peak_title = "peak B/entry" if timer else ""
print(f"{'case':<14}{'tool':<11}{'tool s':>9}  {'kestacon':<10}{'ours s':>9}{'ratio':>8}"
      f"{'target':>9}  {peak_title}")
for case, tool, tool_s, ours, ours_s, ratio, target, per_entry in rows:
    print(f"{case:<14}{tool:<11}{tool_s:9.4f}  {ours:<10}{ours_s:9.4f}{ratio:8.2f}{target:>9}"
          f"  {per_entry if timer else ''}")
PYEOF
