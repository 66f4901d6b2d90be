"""Generated source-like text for the benchmarks: one seeded generator, so every run of every
benchmark writes the same files."""
import random

rnd = random.Random(20240611)
WORDS = ["value", "count", "total", "index", "buffer", "result", "size", "offset", "line",
         "next", "name", "state", "entry", "block", "limit"]
_serial = 0


def fresh_line():
    """A source-like line that occurs nowhere else."""
    global _serial
    _serial += 1
    w = rnd.choice(WORDS)
    kind = rnd.randrange(4)
    if kind == 0:
        return f"    {w}_{_serial} = {rnd.choice(WORDS)}({rnd.randrange(1000)});"
    if kind == 1:
        return f"    if ({w} > {_serial}) {{"
    if kind == 2:
        return f"        return {w}[{_serial}] + {rnd.randrange(100)};"
    return f"    // {w} {rnd.choice(WORDS)} {_serial}"


def with_changes(lines, blocks):
    """1% of the lines replaced, a few blocks inserted and a few deleted."""
    out = list(lines)
    for k in rnd.sample(range(len(out)), len(out) // 100):
        out[k] = fresh_line()
    for _ in range(blocks):
        at = rnd.randrange(len(out))
        out[at:at] = [fresh_line() for _ in range(rnd.randrange(10, 200))]
        at = rnd.randrange(len(out))
        del out[at:at + rnd.randrange(10, 200)]
    return out


def write_lines(path, lines):
    with open(path, "w") as f:
        f.write("\n".join(lines))
        f.write("\n")
    return path
