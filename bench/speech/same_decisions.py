#!/usr/bin/env python3
"""Whether two dumps of bench_voice_commands (--dump) decided alike.

    same_decisions.py <before.tsv> <after.tsv> [--confidence N]

For every file in both: the command, what was done with it (acted on,
asked about with the same guesses, or refused) and the confidence within N
(default 0) must agree. Also prints how many files differ in any measure at
all and the largest difference in confidence and gap. Exits 1 when a
decision differs, 2 on unusable input.
"""
import csv
import sys


def read(path):
    rows = {}
    with open(path, newline="") as f:
        reader = csv.DictReader(f, delimiter="\t", quoting=csv.QUOTE_NONE)
        for row in reader:
            rows[row["file"]] = row
    return rows


def decision(row):
    """acted / asked / refused, as the program takes a result."""
    command = row["command"]
    confidence = int(row["confidence"])
    if command and confidence > -60:
        return "acted"
    return "asked" if row.get("guesses", "") else "refused"


def main(argv):
    args = [a for a in argv[1:]]
    tolerance = 0
    if "--confidence" in args:
        at = args.index("--confidence")
        try:
            tolerance = int(args[at + 1])
        except (IndexError, ValueError):
            print(__doc__, file=sys.stderr)
            return 2
        del args[at:at + 2]
    if len(args) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    before, after = read(args[0]), read(args[1])
    if not before or not after:
        print("an empty dump", file=sys.stderr)
        return 2
    common = [f for f in before if f in after]
    missing = sorted(set(before) ^ set(after))
    changed, measures = [], 0
    worst_confidence = worst_gap = 0.0
    compared = ("gap", "confidence", "speech", "words", "command", "strict", "scores", "guesses")
    for f in common:
        a, b = before[f], after[f]
        if any(a.get(k) != b.get(k) for k in compared):
            measures += 1
        dc = abs(int(a["confidence"]) - int(b["confidence"]))
        worst_confidence = max(worst_confidence, dc)
        worst_gap = max(worst_gap, abs(float(a["gap"]) - float(b["gap"])))
        if (a["command"] != b["command"] or decision(a) != decision(b) or dc > tolerance
                or (decision(a) == "asked" and a["guesses"] != b["guesses"])):
            changed.append(f"{f}: {a['command']!r} {decision(a)} {a['confidence']} [{a['guesses']}]"
                           f" -> {b['command']!r} {decision(b)} {b['confidence']} [{b['guesses']}]")
    print(f"{len(common)} files compared, {len(missing)} in one dump only")
    print(f"decisions changed: {len(changed)} (confidence tolerance {tolerance})")
    print(f"files with any measure changed: {measures}")
    print(f"largest confidence difference {worst_confidence:.0f}, largest gap difference {worst_gap:.4f}")
    for line in changed[:40]:
        print("  " + line)
    return 1 if changed or missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
