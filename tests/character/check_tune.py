#!/usr/bin/env python3
"""Checks bench/speech/tune.py, the fit of the recogniser's confidence, on
small dumps written here: that it counts as acted on only what the program
acts on, and that --reference chooses the line that acts on no more wrong
commands and other speech than a dump made the way the constants were fitted
for.

    check_tune.py <path of tune.py>
"""

import os
import re
import subprocess
import sys
import tempfile

HEADER = "file\tkind\texpected\tvoice\tvariant\tgap\tconfidence\tspeech\twords\tcommand\taudio_ms\tfinish_ms\tdecode_ms\tstrict\tscores\tguesses\n"

# One measure, weight 1: the logit is the "gap" measure plus the bias 0.
SCORES_FILE = """
constexpr double Bias = 0.0;
constexpr Weight Weights[] = {
    {"gap", 1.0},
};
constexpr double RejectLogit = %s;
constexpr double PointsPerLogit = 20.00;
"""

failures = []


def check(what, ok, output=""):
    if not ok:
        failures.append(what)
        print(f"FAIL: {what}\n{output}", file=sys.stderr)


def line(name, kind, expected, command, gap, words="", dist=0.5, strict=False, **extra):
    measures = {"gap": gap, "dist": dist, "loop_phones": 6, "phones": 8, "words": len(words.split()) or 2, **extra}
    scores = ";".join(f"{k}={v}" for k, v in measures.items())
    return "\t".join([name, kind, expected, "flite:kal", "clean", str(gap), "0", "1", words or "some words",
                      command, "1000", "10", "10", "1" if strict else "0", scores, ""]) + "\n"


def write(folder, name, lines):
    path = os.path.join(folder, name)
    with open(path, "w", encoding="utf-8") as f:
        f.write(HEADER + "".join(lines))
    return path


def run(tune, *args):
    done = subprocess.run([sys.executable, tune, "--features", "gap", *args], capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout + done.stderr


def proposed(output):
    found = re.search(r"proposed threshold \(confidence -60\): logit ([-0-9.]+)", output)
    return float(found.group(1)) if found else None


def main():
    tune = sys.argv[1]
    with tempfile.TemporaryDirectory() as folder:
        scores = os.path.join(folder, "UtteranceScores.cpp")
        with open(scores, "w", encoding="utf-8") as f:
            f.write(SCORES_FILE % "1.00")

        # Right commands from logit 1.5 to 5.5; other speech far above the
        # line, but heard as words a phone away for each phone (never sure),
        # and a word alone that ends another command's word.
        rows = [line(f"c{k}", "command", "Help", "Help", 1.5 + k) for k in range(5)]
        rows.append(line("o1", "other", "", "Help", 9.0, dist=1.5))
        rows.append(line("o2", "other", "", "Check Mail", 9.0, words="email"))
        dump = write(folder, "dump.tsv", rows)
        code, out = run(tune, dump, "--keep-weights", scores, "--threshold", "1.00", "--slope", "20",
                        "--endings", "email,mail")
        check("runs on a small dump", code == 0, out)
        check("other speech heard too far from the words is not counted as taken",
              "false accepts 0.0%" in out, out)
        code, out = run(tune, dump, "--keep-weights", scores, "--threshold", "1.00", "--slope", "20")
        check("a word that ends another command's word is counted as taken without --endings",
              code == 0 and "false accepts 50.0%" in out, out)

        # The reference: the same corpus decoded otherwise, at the file's
        # line 1.00: one wrong command taken (logit 1.2), one not (0.8).
        reference = write(folder, "reference.tsv", [
            line("c0", "command", "Help", "Help", 3.0),
            line("w1", "command", "Help", "Quit", 1.2),
            line("w2", "command", "Help", "Quit", 0.8),
            line("o1", "other", "", "Help", -2.0),
        ])
        # Now both wrong commands sit higher (2.0 and 1.6): the lowest line
        # that takes no more than one of them is at 1.60, where the right one
        # at 1.7 is still taken.
        moved = write(folder, "moved.tsv", [
            line("c0", "command", "Help", "Help", 3.0),
            line("c1", "command", "Help", "Help", 1.7),
            line("w1", "command", "Help", "Quit", 2.0),
            line("w2", "command", "Help", "Quit", 1.6),
            line("o1", "other", "", "Help", -2.0),
        ])
        code, out = run(tune, moved, "--keep-weights", scores, "--reference", reference)
        check("--reference proposes a line", code == 0 and proposed(out) is not None, out)
        check("--reference: the lowest line with no more wrong commands than the reference",
              proposed(out) is not None and abs(proposed(out) - 1.60) < 1e-9, out)
        code, out = run(tune, moved, "--reference", reference)
        check("--reference without --keep-weights is refused", code != 0 and "--keep-weights" in out, out)

        # Below the line (logit 1.00, 20 points a unit): two right commands
        # and two wrong ones 10 to 30 points under it, which "agree" tells
        # apart and the logit does not; one far below and one above the
        # line are left out. Above the line, lone short words of a command
        # that starts a program: "agree" puts the other speech first.
        below = write(folder, "below.tsv", [
            line("c1", "command", "Help", "Help", 0.0, agree=0.9),
            line("c2", "command", "Help", "Help", 0.5, agree=0.8),
            line("w1", "command", "Help", "Quit", 0.5, agree=0.2),
            line("o1", "other", "", "Help", 0.0, agree=0.1),
            line("o2", "other", "", "Help", -5.0, agree=1.0),
            line("o3", "other", "", "Help", 3.0, agree=1.0),
            line("s1", "command", "Notepad", "Notepad", 3.0, words="notepad", strict=True, agree=0.1, phones=6),
            line("s2", "other", "", "Notepad", 3.0, words="notepad", strict=True, agree=0.7, phones=6),
        ])
        code, out = run(tune, below, "--keep-weights", scores, "--separation", "40")
        check("--separation runs", code == 0, out)
        check("--separation counts the right and the rest within the band",
              "within 40 points below the line: 2 right, 2 wrong or no command" in out, out)
        check("--separation: a measure that tells them apart has AUC 1",
              re.search(r"within 40 .*?\n(?:  .*\n)*?  agree +AUC 1\.000", out) is not None, out)
        check("--separation: the logit, the same for both sides, has AUC 0.5",
              re.search(r"within 40 .*?\n(?:  .*\n)*?  logit +AUC 0\.500", out) is not None, out)
        check("--separation: lone short words, the wrong way round, have AUC 0",
              re.search(r"lone short words.*: 1 right, 1 wrong or no command\n(?:  .*\n)*?  agree +AUC 0\.000", out)
              is not None, out)

    if failures:
        sys.exit(f"{len(failures)} check(s) failed")
    print("all checks passed")


if __name__ == "__main__":
    main()
