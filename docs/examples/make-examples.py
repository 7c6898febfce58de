#!/usr/bin/env python3
"""Writes the example files of this folder. They are made up: every value comes
from the formula below plus the stated noise, from fixed seeds, so running the
script again gives the same files.

    i = 11.2 (1 + 0.78 lg P) / (t + 9.5)^0.71   (mm/min)
"""
import math
import random

A1, C, B, N = 11.2, 0.78, 9.5, 0.71
DURATIONS = [5, 10, 15, 20, 30, 45, 60, 90, 120, 150, 180]
PERIODS = [2, 3, 5, 10, 20, 30, 50, 100]


def intensity(t, p):
    return A1 * (1 + C * math.log10(p)) / (t + B) ** N


def write(name, lines):
    # UTF-8 with a byte-order mark and CR LF, as Excel's "CSV UTF-8" writes it.
    with open(name, "w", encoding="utf-8-sig", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    # 1. The i–t–P table: intensities times (1 + u), u uniform in [-1 %, +1 %].
    rnd = random.Random(16)
    lines = ["历时(min)\\重现期(a)," + ",".join(str(p) for p in PERIODS)]
    for t in DURATIONS:
        cells = ["%.3f" % (intensity(t, p) * (1 + rnd.uniform(-0.01, 0.01))) for p in PERIODS]
        lines.append(str(t) + "," + ",".join(cells))
    write("itp-table.csv", lines)

    # 2. A short published-style table of depths (mm) for three durations, no noise.
    lines = ["历时(min)\\重现期(a),2,5,10,20,50"]
    for t in [30, 60, 120]:
        lines.append(str(t) + "," + ",".join("%.1f" % (intensity(t, p) * t) for p in [2, 5, 10, 20, 50]))
    write("itp-depth.csv", lines)

    # 3. Annual maxima of 30 years: each year an annual-maximum return period
    #    P = 1 / (1 - U), U uniform in (0, 1), shared by the year's durations (a
    #    year's storms are heavy or light together), and the formula's depth
    #    for it times (1 + v), v uniform in [-3 %, +3 %] per cell.
    rnd = random.Random(2016)
    lines = ["年份," + ",".join(str(t) for t in DURATIONS)]
    for year in range(1991, 2021):
        p = 1 / (1 - rnd.random())
        cells = ["%.1f" % (intensity(t, p) * t * (1 + rnd.uniform(-0.03, 0.03))) for t in DURATIONS]
        lines.append(str(year) + "," + ",".join(cells))
    write("samples-annual-max.csv", lines)

    # 4. Annual multiple samples: 20 years, the largest 4 x 20 = 80 events per
    #    duration: event k has an exceedance period T_E = 1 / (4 q), q uniform
    #    in (0, 1) and shared by the durations, and the formula's depth for it
    #    times (1 + v), v uniform in [-3 %, +3 %] per cell; each column sorted.
    rnd = random.Random(4)
    events = [1 / (4 * (1 - rnd.random())) for _ in range(80)]
    columns = [sorted((intensity(t, e) * t * (1 + rnd.uniform(-0.03, 0.03)) for e in events), reverse=True)
               for t in DURATIONS]
    lines = ["序号," + ",".join(str(t) for t in DURATIONS)]
    for k in range(80):
        lines.append(str(k + 1) + "," + ",".join("%.1f" % columns[d][k] for d in range(len(DURATIONS))))
    write("samples-annual-multiple.csv", lines)


if __name__ == "__main__":
    main()
