#!/usr/bin/env python3
"""A peer for the CSV benchmark, not part of Pluvion: the start-up storm
(A1 = 9.5981, C = 0.846, b = 7, n = 0.656, lg P, P = 2, r = 0.4, step 1)
listed minute by minute as the short numpy + csv script an engineer would
write, 4 decimals, clock times, GBK, CR LF.

    bench/peer_csv.py DURATION FILE
"""
import csv
import sys

import numpy as np

A1, C, B, N, P, R = 9.5981, 0.846, 7.0, 0.656, 2.0, 0.4
duration, path = float(sys.argv[1]), sys.argv[2]

a = A1 * (1 + C * np.log10(P))
t = np.arange(0, int(duration) + 1, dtype=np.float64)
peak = duration * R
scaled = np.where(t <= peak, (peak - t) / R, (t - peak) / (1 - R))
intensity = a * ((1 - N) * scaled + B) / (scaled + B) ** (1 + N)
total = np.cumsum(intensity)
minutes = t.astype(np.int64)
clock = [f"{h:02d}:{m:02d}" for h, m in zip((minutes // 60) % 24, minutes % 60)]

with open(path, "w", encoding="gbk", newline="") as out:
    writer = csv.writer(out)  # CR LF line ends by default
    writer.writerow(["时间(HH:MM)", "降雨强度(mm/min)", "降雨总量(mm)"])
    writer.writerows(zip(clock, (f"{v:.4f}" for v in intensity), (f"{v:.4f}" for v in total)))
