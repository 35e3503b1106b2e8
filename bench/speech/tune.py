#!/usr/bin/env python3
"""Fits the recogniser's confidence model to the tune set.

    bench_voice_commands --dump tune.tsv <tune-corpus>
    tune.py tune.tsv

The recogniser measures each hypothesis in several ways (the per-frame gap
between the command grammar and a free phone loop, the phone distance
between the two, how much of the speech the command's words cover, the
margin to the best other command, ...; the dump's "scores" column) and
combines them into one logit, z = bias + sum of weight x measure, fitted
here by logistic regression: right commands against wrong commands and
everything that is no command. The logit becomes a confidence: -60 (the
rejection line) at a threshold logit, and a fixed number of points per unit
above and below it, clamped to -100..100. This prints, for a range of
thresholds, how many commands would be heard right and wrong and how much
other speech, silence and noise would be taken for a command, and proposes
the weights, the threshold and the slope as C++ constants.

--features gap reproduces a mapping of the gap alone.

--keep-weights character/ear/UtteranceScores.cpp keeps the model's
weights as they are there and chooses only the threshold and the slope:
for a change to the recogniser that moves the measures a little, where a
new fit of a dozen weights to a few hundred lines would chase noise.

--reference DUMP (with --keep-weights) chooses the lowest threshold at
which the dump acts on no more wrong commands, other speech and other
speech taken for a command that starts a program or quits than DUMP at
the line written in UtteranceScores.cpp: DUMP is the same tune set
decoded the way the constants were fitted for, the dump the same set
decoded after a change to the recogniser. --endings lists the words the
program asks about when heard alone (another command's word ends with
them), as it finds them in its command table: "email,mail".

An adapted model (a voice profile) has a line and slope of its own
(AdaptedRejectLogit, AdaptedPointsPerLogit): decode each tune voice with
a profile learnt in that voice (bench_voice_commands --enrol DIR --dump
... <that voice's part of the tune set>), join the dumps, and run this
with --keep-weights on them. --adapted then applies the adapted model's
own rules for commands that start a program or quit and prints how its
bars (AdaptedShortWordConfidence, AdaptedSoundAlikeConfidence) trade.

Below the line, a hypothesis is asked about ("Did you mean ...?") only when
a second model finds it worth asking: fitted here on what the first does
not act on, the commands whose right command is offered against the speech
that is no command, its line the lowest that asks about no more than
--max-asked % of the other speech (AskBias, AskWeights[], AskLine). To fit
it alone, keep the confidence as it is: --keep-weights
character/ear/UtteranceScores.cpp --threshold 2.00 --slope 25.61.

Only the tune set's voices are accepted (see make_corpus.sh): constants
fitted to the test or bench voices would flatter the figures measured on
them.
"""

import argparse
import csv
import math
import re
import sys
from collections import defaultdict

# The voices make_corpus.sh puts into the tune set, and the non-speech files.
TUNE_VOICES = {"espeak:en-us", "espeak:en-gb-scotland", "flite:kal16", "flite:kal", "sox"}

# Fewer speech phones in the phone loop than this: no command
# (MinLoopPhones in UtteranceScores.cpp).
MIN_LOOP_PHONES = 2

# A command that starts a program or quits (the dump's "strict" column) is
# taken only above this confidence (StrictConfidence in SpeechRecognizer.h).
STRICT_CONFIDENCE = -30
# Nor when heard as one word of fewer phones than this (MinPhonesToStart in
# UtteranceScores.cpp); dumps without the "words" measure count as more.
MIN_PHONES_TO_START = 7
# Nor when the words naming it, its carriers ("open", "run", "new") left
# out, have fewer phones than that, at or below this confidence
# (ShortNameConfidence in SpeechRecognizer.h); dumps without the
# "name_phones" measure count as named at length.
SHORT_NAME_CONFIDENCE = 0

# The measures the model is made of by default.
FEATURES = "gap,gap_speech,dist,dist_span,coverage,outside,filler,rival,rival_none,word_min,frames_per_phone,phones,loop_phones"

# More than this phone distance per phone of the words heard: never acted
# on, whatever the logit (MaxSureDistance in UtteranceScores.cpp).
MAX_SURE_DISTANCE = 1.0

# The words another command's word ends with, as the program finds them in
# the command table (--endings).
ENDINGS = set()

# Below the bar to act on, a hypothesis is asked about only when it is
# plausible (GuessConfidence in SpeechRecognizer.h, on the unbounded scale)
# and the asking's own model finds it worth asking (AskBias, AskWeights[]
# and AskLine in UtteranceScores.cpp): fitted on what is not acted on, the
# commands whose right command would be offered against the speech that is
# no command.
GUESS_CONFIDENCE = -140.0
# A hypothesis of two words or more heard above the line and held back only
# by a rule (the dump's "held" measure) is asked about above this asking
# logit instead (HeldAskLine in UtteranceScores.cpp).
HELD_ASK_LINE = -1.20
ASK_FEATURES = FEATURES + ",words,alike"


def read_dump(path):
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.DictReader(f, delimiter="\t", quoting=csv.QUOTE_NONE))
    needed = {"file", "kind", "expected", "voice", "variant", "gap", "command", "scores"}
    if rows and not needed <= rows[0].keys():
        sys.exit(f"{path}: columns {sorted(needed - rows[0].keys())} are missing")
    if rows and "strict" not in rows[0]:
        print(f"{path}: no \"strict\" column (an older dump): no command is counted as strict", file=sys.stderr)
    for r in rows:
        r["strict"] = r.get("strict") == "1"
        r["gap"] = float(r["gap"])
        r["measures"] = {k: float(v) for k, v in (kv.split("=", 1) for kv in r["scores"].split(";") if "=" in kv)}
    return rows


def read_weights(path, prefix=""):
    """The measures, bias first, of a model written in UtteranceScores.cpp:
    the confidence's (Bias, Weights[]) or, with prefix "Ask", the asking's."""
    text = open(path, encoding="utf-8").read()
    bias = re.search(r"constexpr double (?<!\w)%sBias = ([-+0-9.eE]+);" % prefix, text)
    table = re.search(r"constexpr Weight (?<!\w)%sWeights\[\] = \{(.*?)\};" % prefix, text, re.S)
    pairs = re.findall(r'\{"(\w+)", ([-+0-9.eE]+)\}', table.group(1)) if table else []
    if not bias or not pairs:
        sys.exit(f"{path}: no {prefix}Bias and {prefix}Weights[] found")
    return [name for name, _ in pairs], [float(bias.group(1))] + [float(w) for _, w in pairs]


def without_loop_phones(rows):
    """The recogniser gives no command where the phone loop heard fewer than
    MIN_LOOP_PHONES speech phones (tones, hum): such lines count as without
    a hypothesis, in the fit as everywhere else."""
    for r in rows:
        if r["command"] and r["measures"].get("loop_phones", MIN_LOOP_PHONES) < MIN_LOOP_PHONES:
            r["command"] = ""
    return rows


def prepare(rows, features, weights):
    """Each line's logit ("z"), -1e9 where there is no hypothesis."""
    without_loop_phones(rows)
    for r in rows:
        r["z"] = sum(w * x for w, x in zip(weights, [1.0] + [r["measures"].get(f, 0.0) for f in features])) \
            if r["command"] else -1e9
    return rows


def read_line(path):
    """The stock model's RejectLogit and PointsPerLogit written in UtteranceScores.cpp."""
    text = open(path, encoding="utf-8").read()
    found = [re.search(r"constexpr double (?<!\w)%s = ([-+0-9.eE]+);" % name, text)
             for name in ("RejectLogit", "PointsPerLogit")]
    if not all(found):
        sys.exit(f"{path}: no RejectLogit and PointsPerLogit found")
    return float(found[0].group(1)), float(found[1].group(1))


def solve(a, b):
    """Solves a x = b by Gaussian elimination with partial pivoting."""
    n = len(b)
    m = [row[:] + [b[i]] for i, row in enumerate(a)]
    for c in range(n):
        p = max(range(c, n), key=lambda r: abs(m[r][c]))
        m[c], m[p] = m[p], m[c]
        if abs(m[c][c]) < 1e-12:
            raise ValueError("singular system: a measure is constant or a copy of another")
        for r in range(n):
            if r != c:
                f = m[r][c] / m[c][c]
                for k in range(c, n + 1):
                    m[r][k] -= f * m[c][k]
    return [m[i][n] / m[i][i] for i in range(n)]


def fit_logistic(xs, ys, ridge):
    """Weights (bias first) of a logistic regression by Newton's method, with
    a small ridge penalty on everything but the bias so that nearly
    separable data still gives finite weights."""
    n = len(xs[0])
    w = [0.0] * n
    for _ in range(50):
        h = [[ridge if i == j and i > 0 else 0.0 for j in range(n)] for i in range(n)]
        g = [-ridge * w[i] if i > 0 else 0.0 for i in range(n)]
        for x, y in zip(xs, ys):
            z = max(-30.0, min(30.0, sum(a * b for a, b in zip(w, x))))
            p = 1.0 / (1.0 + math.exp(-z))
            for i in range(n):
                g[i] += (y - p) * x[i]
                pxi = p * (1 - p) * x[i]
                for j in range(n):
                    h[i][j] += pxi * x[j]
        step = solve(h, g)
        w = [a + b for a, b in zip(w, step)]
        if max(abs(s) for s in step) < 1e-7:
            break
    return w


def confidence_of(z, threshold, slope):
    """The confidence the recogniser reports for logit z."""
    return max(-100, min(100, round(-60 + (z - threshold) * slope)))


# With a model adapted to its speaker (--adapted): a lone short word starts
# its program above ADAPTED_SHORT_WORD_CONFIDENCE, a sound-alike heard in a
# command of two words or more is outweighed above
# ADAPTED_SOUND_ALIKE_CONFIDENCE (None: never), and the short naming words
# hold nothing back (AdaptedShortWordConfidence, AdaptedSoundAlikeConfidence
# in UtteranceScores.h).
ADAPTED = {"on": False, "short_word": 30, "sound_alike": 0}


def outcome(row, threshold, slope):
    """right, wrong, rejected for a command; accepted or rejected otherwise.
    Above the threshold the confidence is above -60: taken; a command that
    starts a program or quits needs more than STRICT_CONFIDENCE, and no
    sound-alike heard instead."""
    taken = row["command"] != "" and row["z"] > threshold \
        and row["measures"].get("dist", 0.0) <= MAX_SURE_DISTANCE
    if taken and row["strict"] and ADAPTED["on"]:
        confidence = confidence_of(row["z"], threshold, slope)
        m = row["measures"]
        lone_short = m.get("words", 0) == 1 and m.get("phones", MIN_PHONES_TO_START) < MIN_PHONES_TO_START
        alike_outweighed = ADAPTED["sound_alike"] is not None and m.get("words", 0) >= 2 \
            and confidence > ADAPTED["sound_alike"]
        taken = confidence > STRICT_CONFIDENCE \
            and not (lone_short and confidence <= ADAPTED["short_word"]) \
            and not (m.get("alike", 0) and not alike_outweighed)
    elif taken and row["strict"]:
        # Nor when a common word that sounds like the command's was heard
        # instead (the "alike" measure).
        confidence = confidence_of(row["z"], threshold, slope)
        taken = confidence > STRICT_CONFIDENCE \
            and not (confidence <= SHORT_NAME_CONFIDENCE
                     and row["measures"].get("name_phones", MIN_PHONES_TO_START) < MIN_PHONES_TO_START) \
            and not row["measures"].get("alike", 0) \
            and not (row["measures"].get("words", 0) == 1
                     and row["measures"].get("phones", MIN_PHONES_TO_START) < MIN_PHONES_TO_START)
    # A word heard alone that another command's word ends with ("email",
    # where "gmail" may have been said) is asked about, never acted on.
    if taken and row["measures"].get("words", 0) == 1 and row.get("words", "").strip() in ENDINGS:
        taken = False
    if row["kind"] == "command":
        if not taken:
            return "rejected"
        return "right" if row["command"] == row["expected"] else "wrong"
    return "accepted" if taken else "rejected"


def rates(rows, threshold, slope):
    commands = [r for r in rows if r["kind"] == "command"]
    others = [r for r in rows if r["kind"] != "command"]
    right = sum(outcome(r, threshold, slope) == "right" for r in commands)
    wrong = sum(outcome(r, threshold, slope) == "wrong" for r in commands)
    accepted = sum(outcome(r, threshold, slope) == "accepted" for r in others)
    pct = lambda part, whole: 100.0 * part / whole if whole else 0.0
    return pct(right, len(commands)), pct(wrong, len(commands)), pct(accepted, len(others)), right, wrong, accepted


def started(rows, threshold, slope):
    """Other speech taken for a command that starts a program or quits."""
    return sum(1 for r in rows if r["kind"] != "command" and r["strict"] and outcome(r, threshold, slope) == "accepted")


def percentile(values, fraction):
    if not values:
        return float("nan")
    values = sorted(values)
    rank = max(1, math.ceil(fraction * len(values)))
    return values[min(rank, len(values)) - 1]


def frange(start, stop, step):
    n = int(round((stop - start) / step))
    return [round(start + k * step, 6) for k in range(n + 1)]


def auc(positives, negatives):
    """The chance that a positive's value is above a negative's (ties count
    half): 1 or 0 where a measure tells them apart, 0.5 where it does not."""
    if not positives or not negatives:
        return float("nan")
    ranked = sorted([(v, 1) for v in positives] + [(v, 0) for v in negatives])
    rank_sum, k = 0.0, 0
    while k < len(ranked):
        j = k
        while j < len(ranked) and ranked[j][0] == ranked[k][0]:
            j += 1
        mean_rank = (k + 1 + j) / 2.0
        rank_sum += mean_rank * sum(1 for _, pos in ranked[k:j] if pos)
        k = j
    n_pos, n_neg = len(positives), len(negatives)
    return (rank_sum - n_pos * (n_pos + 1) / 2.0) / (n_pos * n_neg)


def separation(rows, threshold, slope, band):
    """For the hypotheses the line and the rules hold back, how well each
    measure tells the right commands from the wrong ones and the speech that
    is no command: the hypotheses up to band points below the line, and the
    lone short words of commands that start a program or quit above it."""
    def right(r):
        return r["kind"] == "command" and r["command"] == r["expected"]

    def lone_short(r):
        m = r["measures"]
        return m.get("words", 0) == 1 and m.get("phones", MIN_PHONES_TO_START) < MIN_PHONES_TO_START

    def unbounded(r):
        return -60 + (r["z"] - threshold) * slope

    groups = [
        (f"within {band:g} points below the line", lambda r: -60 - band < unbounded(r) <= -60),
        ("lone short words above the line, of commands that start a program or quit",
         lambda r: r["strict"] and lone_short(r) and unbounded(r) > -60),
    ]
    for title, pred in groups:
        members = [r for r in rows if r["command"] and pred(r)]
        positives = [r for r in members if right(r)]
        negatives = [r for r in members if not right(r)]
        print(f"{title}: {len(positives)} right, {len(negatives)} wrong or no command")
        names = sorted({k for r in members for k in r["measures"]})
        table = []
        for name in ["logit"] + names:
            value = (lambda r: r["z"]) if name == "logit" else (lambda r, n=name: r["measures"].get(n, 0.0))
            table.append((name, auc([value(r) for r in positives], [value(r) for r in negatives])))
        table.sort(key=lambda t: -abs(t[1] - 0.5) if t[1] == t[1] else 0)
        for name, a in table:
            print(f"  {name:18s} AUC {a:.3f}")
        print()


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("dump", help="the --dump file of bench_voice_commands on the tune set")
    p.add_argument("--features", default=FEATURES, help=f"comma-separated measures of the model ({FEATURES})")
    p.add_argument("--ridge", type=float, default=0.01, help="ridge penalty of the fit (0.01)")
    p.add_argument("--from", dest="low", type=float, default=-6.0, help="lowest threshold logit (-6)")
    p.add_argument("--to", dest="high", type=float, default=8.0, help="highest threshold logit (8)")
    p.add_argument("--step", type=float, default=0.05, help="threshold step (0.05)")
    p.add_argument("--print-step", type=float, default=0.5, help="threshold step of the printed table (0.5)")
    p.add_argument("--max-wrong", type=float, default=1.0, help="wrong commands allowed, %% (1)")
    p.add_argument("--max-false", type=float, default=2.0, help="non-commands accepted allowed, %% (2)")
    p.add_argument("--top", type=float, default=0.9,
                   help="share of right recognitions at or below confidence 100 (0.9): sets the slope")
    p.add_argument("--force", action="store_true", help="accept voices outside the tune set")
    p.add_argument("--keep-weights", metavar="UtteranceScores.cpp",
                   help="keep the bias and weights written in this file; choose only the threshold and slope")
    p.add_argument("--endings", default="",
                   help="comma-separated words that end another command's word (\"email,mail\" with the "
                        "program's commands): heard alone, the program asks about them")
    p.add_argument("--reference", metavar="DUMP",
                   help="with --keep-weights: the lowest threshold at which this dump has no more wrong commands, "
                        "other speech taken and other speech taken for a command that starts a program than "
                        "DUMP (the same corpus decoded the way the constants were fitted for) has at the "
                        "file's RejectLogit and PointsPerLogit; for a change to the recogniser that moves "
                        "the measures, so that it acts on nothing more that is wrong")
    p.add_argument("--threshold", type=float,
                   help="use this threshold logit and --slope (the ones written in UtteranceScores.cpp) "
                        "rather than choosing them: to fit the asking alone")
    p.add_argument("--slope", type=float, help="points per unit of logit with --threshold")
    p.add_argument("--max-asked", type=float, default=5.0,
                   help="other speech, silence and noise asked about allowed, %% (5): sets the asking's line")
    p.add_argument("--adapted", action="store_true",
                   help="the dump was decoded with voice profiles: use the adapted model's line and slope "
                        "(AdaptedRejectLogit, AdaptedPointsPerLogit in the --keep-weights file) and its rules for "
                        "commands that start a program or quit, and print how their bars trade right commands "
                        "against other speech started")
    p.add_argument("--ask-features", default=ASK_FEATURES,
                   help=f"comma-separated measures of the asking's model ({ASK_FEATURES})")
    p.add_argument("--separation", type=float, metavar="POINTS",
                   help="with --keep-weights: print, for the hypotheses up to POINTS below the line and for the "
                        "lone short words held back above it, how well each measure tells the right commands from "
                        "the rest (its AUC: 1 or 0 where it tells them apart, 0.5 where it does not)")
    a = p.parse_args()

    ENDINGS.update(w for w in a.endings.split(",") if w)
    rows = read_dump(a.dump)
    if not rows:
        sys.exit(f"{a.dump}: no lines")
    if a.adapted:
        if not a.keep_weights:
            sys.exit("--adapted needs --keep-weights character/ear/UtteranceScores.cpp")
        text = open(a.keep_weights, encoding="utf-8").read()
        line = re.search(r"AdaptedRejectLogit = ([-+0-9.eE]+);", text)
        points = re.search(r"AdaptedPointsPerLogit = ([-+0-9.eE]+);", text)
        if not line or not points:
            sys.exit(f"{a.keep_weights}: no AdaptedRejectLogit and AdaptedPointsPerLogit found")
        ADAPTED["on"] = True
        if a.threshold is None:
            a.threshold, a.slope = float(line.group(1)), float(points.group(1))
    without_loop_phones(rows)
    foreign = sorted({r["voice"] for r in rows} - TUNE_VOICES)
    if foreign and not a.force:
        sys.exit(f"{a.dump} holds voices outside the tune set: {', '.join(foreign)}\n"
                 "Tune only on the tune set (make_corpus.sh <dir> tune); --force to override.")
    features = [f for f in a.features.split(",") if f]

    commands = [r for r in rows if r["kind"] == "command"]
    others = [r for r in rows if r["kind"] != "command"]
    heard = [r for r in rows if r["command"]]
    missing = sorted({f for r in heard for f in features if f not in r["measures"]})
    if missing:
        sys.exit(f"{a.dump}: measures {', '.join(missing)} are missing (an older dump?)")
    print(f"{a.dump}: {len(commands)} command utterances, {len(others)} other speech, silence and noise")
    print(f"commands with no command heard at all: {sum(1 for r in commands if not r['command'])} "
          f"({100.0 * sum(1 for r in commands if not r['command']) / max(1, len(commands)):.1f}%): "
          "no threshold recovers these")
    best_case = sum(r["command"] == r["expected"] for r in commands)
    print(f"right command among the hypotheses: {best_case} ({100.0 * best_case / max(1, len(commands)):.1f}%), "
          "the most any threshold can reach")
    print(f"non-commands with a command hypothesis: {sum(1 for r in others if r['command'])} of {len(others)}")

    if a.keep_weights:
        features, weights = read_weights(a.keep_weights)
        missing = sorted({f for r in heard for f in features if f not in r["measures"]})
        if missing:
            sys.exit(f"{a.dump}: measures {', '.join(missing)} are missing (an older dump?)")
    else:
        # The fit: right commands against everything else that has a hypothesis.
        xs = [[1.0] + [r["measures"][f] for f in features] for r in heard]
        ys = [1.0 if r["kind"] == "command" and r["command"] == r["expected"] else 0.0 for r in heard]
        weights = fit_logistic(xs, ys, a.ridge)
    prepare(rows, features, weights)
    if a.separation is not None:
        if not a.keep_weights:
            sys.exit("--separation needs --keep-weights character/ear/UtteranceScores.cpp")
        threshold, slope = (a.threshold, a.slope) if a.threshold is not None else read_line(a.keep_weights)
        print()
        separation(rows, threshold, slope, a.separation)
        return
    print()
    print("kept weights" if a.keep_weights else "fitted weights", "(logit = bias + sum of weight x measure):")
    print(f"  {'bias':18s} {weights[0]:9.4f}")
    for f, w in zip(features, weights[1:]):
        values = [r["measures"][f] for r in heard]
        print(f"  {f:18s} {w:9.4f}   (measure from {min(values):.3g} to {max(values):.3g})")

    def logits(pred):
        return sorted(r["z"] for r in rows if r["command"] and pred(r))

    for name, pred in [("right", lambda r: r["kind"] == "command" and r["command"] == r["expected"]),
                       ("wrong", lambda r: r["kind"] == "command" and r["command"] != r["expected"]),
                       ("non-command", lambda r: r["kind"] != "command")]:
        g = logits(pred)
        if g:
            print(f"logit of {name:12s} hypotheses: n={len(g):4d} min {g[0]:7.2f}  10% {percentile(g, 0.1):7.2f}  "
                  f"median {percentile(g, 0.5):7.2f}  90% {percentile(g, 0.9):7.2f}  max {g[-1]:7.2f}")
        else:
            print(f"logit of {name:12s} hypotheses: none")

    print()
    print(f"{'threshold':>9} {'right':>7} {'wrong':>7} {'false acc':>9}")
    table = frange(a.low, a.high, a.step)
    printed = set(frange(a.low, a.high, a.print_step))
    # The slope follows from the threshold (see below), and the line for
    # strict commands from both.
    def slope_for(t):
        right_z = [r["z"] for r in commands if r["command"] and r["command"] == r["expected"] and r["z"] > t]
        top = percentile(right_z, a.top)
        return 160.0 / (top - t) if right_z and top > t + 1e-6 else 10.0

    slopes = {t: slope_for(t) for t in table}
    results = {t: rates(rows, t, slopes[t]) for t in table}
    for t in table:
        if t in printed:
            right, wrong, false, *_ = results[t]
            print(f"{t:9.2f} {right:6.1f}% {wrong:6.1f}% {false:8.1f}%")

    # The lowest threshold within the limits keeps the most right commands;
    # where the right share stays the same over a span of thresholds, its
    # middle leaves a margin on both sides.
    feasible = [t for t in table if results[t][1] <= a.max_wrong and results[t][2] <= a.max_false]
    if feasible:
        first = feasible[0]
        span = [t for t in feasible if results[t][3] == results[first][3]]
        if first == table[0]:
            threshold = max(table[0], round(span[-1] - 1.0, 6))
            how = (f"nothing wrong or false needs rejecting above {table[0]:.2f}; "
                   f"1 below {span[-1]:.2f}, the highest logit that keeps every right command")
        else:
            threshold = span[len(span) // 2]
            how = (f"the lowest logit with at most {a.max_wrong:g}% wrong and {a.max_false:g}% false accepts "
                   f"({first:.2f}), moved to the middle of the span {span[0]:.2f}..{span[-1]:.2f} "
                   "where the right share is the same")
    else:
        cost = lambda t: (100 - results[t][0]) + 5 * results[t][1] + 5 * results[t][2]
        threshold = min(table, key=cost)
        how = (f"no threshold meets {a.max_wrong:g}% wrong and {a.max_false:g}% false accepts; "
               "this one minimises missed + 5 x wrong + 5 x false accepts (%)")

    if a.reference:
        if not a.keep_weights:
            sys.exit("--reference needs --keep-weights")
        ref_threshold, ref_slope = read_line(a.keep_weights)
        ref_rows = prepare(read_dump(a.reference), features, weights)
        _, _, _, _, ref_wrong, ref_accepted = rates(ref_rows, ref_threshold, ref_slope)
        ref_started = started(ref_rows, ref_threshold, ref_slope)
        within = [t for t in table if results[t][4] <= ref_wrong and results[t][5] <= ref_accepted
                  and started(rows, t, slopes[t]) <= ref_started]
        if not within:
            sys.exit(f"no threshold from {table[0]:.2f} to {table[-1]:.2f} keeps to {a.reference}'s figures")
        threshold = within[0]
        how = (f"the lowest logit with no more wrong commands ({ref_wrong}), other speech taken "
               f"({ref_accepted}) and other speech taken for a program or quitting ({ref_started}) "
               f"than {a.reference} at logit {ref_threshold:.2f}")
    if a.threshold is not None:
        threshold = a.threshold
        how = "given (--threshold)"
    right_z = [r["z"] for r in commands if r["command"] and r["command"] == r["expected"] and r["z"] > threshold]
    top = percentile(right_z, a.top)
    slope = slopes[threshold] if threshold in slopes else slope_for(threshold)
    if a.slope is not None:
        slope = a.slope
    right, wrong, false, *_ = results[threshold] if threshold in results else rates(rows, threshold, slope)

    print()
    print(f"proposed threshold (confidence -60): logit {threshold:.2f}")
    print(f"  {how}")
    print(f"  right {right:.1f}%  wrong {wrong:.1f}%  false accepts {false:.1f}% on the tune set")
    print(f"proposed slope: {slope:.2f} points per unit of logit "
          f"(the {100 * a.top:.0f}th percentile of right logits above the threshold, {top:.3f}, at confidence 100)")
    print()
    print("for character/ear/UtteranceScores.cpp:")
    print(f"constexpr double Bias = {weights[0]:.4f};")
    print("constexpr Weight Weights[] = {")
    for f, w in zip(features, weights[1:]):
        print(f'    {{"{f}", {w:.4f}}},')
    print("};")
    print(f"constexpr double RejectLogit = {threshold:.2f};")
    print(f"constexpr double PointsPerLogit = {slope:.2f};")

    def confidence(z):
        return confidence_of(z, threshold, slope)

    print()
    for name, kind_pred in [("right", lambda r: r["kind"] == "command" and r["command"] == r["expected"]),
                            ("wrong", lambda r: r["kind"] == "command" and r["command"] != r["expected"]),
                            ("non-command", lambda r: r["kind"] != "command")]:
        c = [confidence(r["z"]) for r in rows if r["command"] and kind_pred(r)]
        if c:
            print(f"  confidence of {name:12s} hypotheses: median {percentile(c, 0.5):4d}, "
                  f"10% {percentile(c, 0.1):4d}, 90% {percentile(c, 0.9):4d}")

    print()
    print(f"by voice and variant at logit {threshold:.2f}:")
    groups = defaultdict(list)
    for r in rows:
        groups[(r["voice"], r["variant"])].append(r)
    print(f"  {'voice variant':32s} {'commands':>8} {'right':>7} {'wrong':>7} {'others accepted':>16}")
    for (voice, variant), group in sorted(groups.items()):
        n_cmd = sum(r["kind"] == "command" for r in group)
        n_other = len(group) - n_cmd
        right = sum(outcome(r, threshold, slope) == "right" for r in group)
        wrong = sum(outcome(r, threshold, slope) == "wrong" for r in group)
        acc = sum(outcome(r, threshold, slope) == "accepted" for r in group)
        pct = lambda part: f"{100.0 * part / n_cmd:.1f}%" if n_cmd else "-"
        print(f"  {voice + ' ' + variant:32s} {n_cmd:8d} {pct(right):>7} {pct(wrong):>7} {f'{acc} of {n_other}':>16}")

    if a.adapted:
        adapted_bars(rows, threshold, slope)
    fit_asking(a, rows, threshold, slope)


def adapted_bars(rows, threshold, slope):
    """With profiles: acted right, wrong, other speech acted on and other
    speech that would start a program or quit, by the two bars."""
    commands = [r for r in rows if r["kind"] == "command"]
    others = [r for r in rows if r["kind"] != "command"]
    kept = dict(ADAPTED)
    print()
    print("adapted model, commands that start a program or quit (lone short word bar, sound-alike bar):")
    print(f"  {'lone word':>9} {'alike':>6} {'right':>7} {'wrong':>7} {'other acted':>11} {'other started':>13}")
    for short_word in (50, 40, 30, 20, 10, 0, -30):
        for sound_alike in (None, 50, 0, -30):
            ADAPTED.update(short_word=short_word, sound_alike=sound_alike)
            right = sum(outcome(r, threshold, slope) == "right" for r in commands)
            wrong = sum(outcome(r, threshold, slope) == "wrong" for r in commands)
            accepted = [r for r in others if outcome(r, threshold, slope) == "accepted"]
            started = sum(1 for r in accepted if r["strict"])
            print(f"  {short_word:9d} {str(sound_alike):>6} {100.0 * right / max(1, len(commands)):6.1f}% "
                  f"{100.0 * wrong / max(1, len(commands)):6.1f}% {100.0 * len(accepted) / max(1, len(others)):10.1f}% "
                  f"{started:13d}")
    ADAPTED.update(kept)


def fit_asking(a, rows, threshold, slope):
    """The asking's model: among the hypotheses not acted on at this threshold
    yet plausible, the commands whose right command is offered (first, or
    among the dump's guesses) against the speech that is no command."""
    def offered(r):
        return r["kind"] == "command" and (r["command"] == r["expected"]
                                            or r["expected"] in r.get("guesses", "").split(";"))

    def plausible(r):
        return r["command"] and outcome(r, threshold, slope) in ("rejected",) \
            and -60 + (r["z"] - threshold) * slope > GUESS_CONFIDENCE

    commands = [r for r in rows if r["kind"] == "command"]
    others = [r for r in rows if r["kind"] != "command"]
    pool = [r for r in rows if plausible(r) and (offered(r) or r["kind"] != "command")]
    features = [f for f in a.ask_features.split(",") if f]
    if not pool or len({offered(r) for r in pool}) < 2:
        print("\nasking: too few hypotheses below the line to fit a model")
        return
    xs = [[1.0] + [r["measures"].get(f, 0.0) for f in features] for r in pool]
    ys = [1.0 if offered(r) else 0.0 for r in pool]
    weights = fit_logistic(xs, ys, a.ridge)
    for r in rows:
        r["ask"] = sum(w * x for w, x in zip(weights, [1.0] + [r["measures"].get(f, 0.0) for f in features])) \
            if plausible(r) else None

    def above(r, line):
        held = r["measures"].get("held", 0) == 1 and r["measures"].get("words", 0) >= 2
        return r["ask"] is not None and r["ask"] > (HELD_ASK_LINE if held else line)

    def asked(line):
        right = sum(1 for r in commands if above(r, line) and offered(r))
        other = sum(1 for r in others if above(r, line))
        return 100.0 * right / max(1, len(commands)), 100.0 * other / max(1, len(others))

    print()
    print(f"asking: {sum(ys):.0f} commands with the right one offered, {len(ys) - sum(ys):.0f} other speech "
          "not acted on yet plausible")
    before = asked(-1e9)
    print(f"  asked on every plausible hypothesis: right offered {before[0]:.1f}% of the commands, "
          f"other speech asked {before[1]:.1f}%")
    lines = frange(-6.0, 6.0, 0.05)
    print(f"  {'line':>6} {'right offered':>13} {'others asked':>12}")
    for line in lines:
        if abs(line * 2 - round(line * 2)) < 1e-9:
            right, other = asked(line)
            print(f"  {line:6.2f} {right:12.1f}% {other:11.1f}%")
    within = [t for t in lines if asked(t)[1] <= a.max_asked]
    line = within[0] if within else lines[-1]
    right, other = asked(line)
    print(f"proposed asking line: {line:.2f} (the lowest with at most {a.max_asked:g}% other speech asked): "
          f"right offered {right:.1f}%, other speech asked {other:.1f}%")
    print("constexpr double AskBias = %.4f;" % weights[0])
    print("constexpr Weight AskWeights[] = {")
    for f, w in zip(features, weights[1:]):
        print(f'    {{"{f}", {w:.4f}}},')
    print("};")
    print(f"constexpr double AskLine = {line:.2f};")


if __name__ == "__main__":
    main()
