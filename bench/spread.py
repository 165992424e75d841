#!/usr/bin/env python3
"""The spread of a figure over repeated runs: every number of a figure's line becomes its
median with the range over the runs, "6.7 [5.9-8.1]". Reads lines "figure<TAB>values<TAB>method"
from the runs' outputs given as files and prints one such line per figure, in the first run's
order. Usage: spread.py RUN_OUTPUT...; `spread(values)` formats one list of numbers."""
import re
import statistics
import sys

# A number standing alone: not the 99 of "p99" nor part of a word.
NUMBER = re.compile(r"(?<![\w.])-?\d+(?:\.\d+)?(?![\w.])")


def spread(values, decimals=0):
    """'median [least-most]' of `values`, each with `decimals` decimals."""
    def text(value):
        return f"{value:.{decimals}f}"
    ordered = sorted(values)
    return f"{text(statistics.median(ordered))} [{text(ordered[0])}-{text(ordered[-1])}]"


def decimals_of(number):
    return len(number.split(".")[1]) if "." in number else 0


def merged(texts):
    """The first text with each number replaced by its spread over all the texts."""
    columns = list(zip(*(NUMBER.findall(text) for text in texts)))
    pieces = NUMBER.split(texts[0])
    out = [pieces[0]]
    for column, piece in zip(columns, pieces[1:]):
        out.append(spread([float(n) for n in column], decimals_of(column[0])) + piece)
    return "".join(out)


def main(paths):
    runs = []
    for path in paths:
        with open(path) as file:
            runs.append([line.rstrip("\n").split("\t") for line in file if "\t" in line])
    for figure, values, method in runs[0]:
        texts = [v for run in runs for f, v, _ in run if f == figure]
        print(f"{figure}\t{merged(texts)} (over {len(texts)} runs)\t{method}")


if __name__ == "__main__":
    main(sys.argv[1:])
