#!/usr/bin/env python3
"""A peer for the records benchmark, not part of Pluvion: the pandas script an
engineer would write for annual-maximum samples from minute records. Reads a
"time,depth" CSV with one row per minute, takes the sliding sums of the 11
standard durations (a window belongs to the minute it starts at, and so to
that minute's year), and writes each year's largest in the layout of
pluvion-cli --save-samples (GBK, CR LF, depths in mm, no trailing zeros).
With --zero the file lists only the minutes with rain and every other minute
of the years it covers had none.

    bench/peer_records.py FILE OUT [--zero]
"""
import sys

import numpy as np
import pandas as pd

DURATIONS = [5, 10, 15, 20, 30, 45, 60, 90, 120, 150, 180]

path, out = sys.argv[1], sys.argv[2]
frame = pd.read_csv(path, parse_dates=["time"], index_col="time")
# Depths to whole thousandths of a millimetre, so the sums are exact.
depth = (frame["depth"] * 1000).round().astype(np.int64)
if "--zero" in sys.argv[3:]:
    first, last = depth.index.min().year, depth.index.max().year
    minutes = pd.date_range(f"{first}-01-01", f"{last}-12-31 23:59", freq="min")
    depth = depth.groupby(level=0).sum().reindex(minutes, fill_value=0)

columns = {}
for duration in DURATIONS:
    # rolling() labels a window by its last minute: shift it back to its first.
    sums = depth.rolling(duration).sum().shift(-(duration - 1))
    columns[duration] = sums.groupby(sums.index.year).max()
table = pd.DataFrame(columns)


def text(thousandths):
    if np.isnan(thousandths) or thousandths <= 0:
        return ""
    return f"{thousandths / 1000:.3f}".rstrip("0").rstrip(".")


lines = ["年份\\历时(min)," + ",".join(str(d) for d in DURATIONS)]
for year, row in table.iterrows():
    lines.append(str(year) + "," + ",".join(text(v) for v in row))
with open(out, "w", encoding="gbk", newline="") as file:
    file.write("".join(line + "\r\n" for line in lines))
