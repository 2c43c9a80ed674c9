#!/usr/bin/python3
"""Draws the response CSV of `vellicor-render --response` as one PNG, a panel per mode.

usage: scripts/plot-response.py RESPONSE.csv PICTURE.png
"""
import csv
import math
import sys
from collections import OrderedDict

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt  # noqa: E402

FLOOR_DB = -60.0  # silence and anything quieter sits on the panel's floor


def read(path):
    modes = OrderedDict()
    with open(path, newline="") as f:
        for row in csv.DictReader(f):
            curves = modes.setdefault((int(row["mode"]), row["name"]), ([], [], []))
            curves[0].append(float(row["frequency_hz"]))
            for i, key in ((1, "left_db"), (2, "right_db")):
                db = float(row[key])  # "-inf" for a silent output
                curves[i].append(max(db, FLOOR_DB) if not math.isnan(db) else FLOOR_DB)
    return modes


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip())
    modes = read(sys.argv[1])
    if not modes:
        sys.exit("no measurements in " + sys.argv[1])
    columns = 3
    rows = (len(modes) + columns - 1) // columns
    fig, axes = plt.subplots(rows, columns, figsize=(10, 1.9 * rows), sharex=True, sharey=True,
                             squeeze=False)
    for ax, ((number, name), (freq, left, right)) in zip(axes.flat, modes.items()):
        ax.semilogx(freq, left, color="tab:blue", linewidth=1.3, label="left out")
        ax.semilogx(freq, right, color="tab:red", linewidth=1.1, linestyle="--",
                    label="right out")
        ax.set_title(f"{number}: {name}", fontsize=9, pad=2)
        ax.set_xlim(freq[0], freq[-1])
        ax.set_ylim(FLOOR_DB, 15)
        ax.grid(True, which="major", linewidth=0.4, alpha=0.6)
        ax.tick_params(labelsize=7)
    for ax in axes.flat[len(modes):]:
        ax.set_visible(False)
    for ax in axes[:, 0]:
        ax.set_ylabel("dB", fontsize=8)
    for ax in axes[-1, :]:
        ax.set_xlabel("Hz", fontsize=8)
    axes.flat[0].legend(fontsize=7, loc="lower left")
    fig.suptitle("Vellicor: response to a -20 dBFS sine on the left input only, 48 kHz",
                 fontsize=10)
    fig.tight_layout(rect=(0, 0, 1, 0.98))
    fig.savefig(sys.argv[2], dpi=72)


if __name__ == "__main__":
    main()
