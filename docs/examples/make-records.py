#!/usr/bin/env python3
"""Writes the made-up rain-gauge records of this folder, records-YYYY.csv: a
station's 5-minute rain, one file per year from 2009 to 2020, listing only the
intervals with rain (so they are read with the gaps meaning no rain). The gauge
was out of service in 2016: that year has no file and must be left out, not
counted as a dry year. Fixed seed: running the script again gives the same files.

Every storm is a Chicago storm of the formula

    i = 11.2 (1 + 0.78 lg P) / (t + 9.5)^0.71   (mm/min)

whose deepest t-minute window holds i(t, P) × t, the peak placed at r × the
storm's length:
- each year's main storm: P = 1 / (1 - U), U uniform (so its depths follow
  the formula's annual-maximum return periods), 180 minutes long, r drawn
  uniformly from 0.30 to 0.50 (mean 0.40);
- 30 lesser storms a year: the formula at P = 1 scaled by 0.05 to 0.30, 60
  to 360 minutes long, r from 0.20 to 0.60 (mean 0.40).
Storms fall on distinct days from May to September. Each interval's depth is
the exact depth of the storm over it, rounded to 0.1 mm; an interval is
labelled with its start.
"""
import datetime
import math
import random

A1, C, B, N = 11.2, 0.78, 9.5, 0.71
STEP = 5
FIRST, LAST, OUT_OF_SERVICE = 2009, 2020, 2016


def depth_within(t, p):
    """The depth (mm) of the deepest t-minute window of the storm for period p."""
    return A1 * (1 + C * math.log10(p)) * t / (t + B) ** N


def cumulative(x, length, r, p, scale):
    """The storm's depth from its start to minute x."""
    peak = r * length

    def from_peak(y):  # signed depth from the peak to minute y
        if y >= peak:
            return (1 - r) * depth_within((y - peak) / (1 - r), p)
        return -r * depth_within((peak - y) / r, p)

    return scale * (from_peak(x) - from_peak(0))


def storm_rows(start, length, r, p, scale):
    rows = []
    for k in range(length // STEP):
        depth = cumulative((k + 1) * STEP, length, r, p, scale) - cumulative(k * STEP, length, r, p, scale)
        tenths = round(depth * 10)
        if tenths > 0:
            rows.append((start + datetime.timedelta(minutes=k * STEP), tenths))
    return rows


def main():
    rnd = random.Random(2014)
    for year in range(FIRST, LAST + 1):
        season = [datetime.date(year, 5, 1) + datetime.timedelta(days=d) for d in range(153)]
        days = rnd.sample(season, 31)
        storms = [(days[0], 180, rnd.uniform(0.30, 0.50), 1 / (1 - rnd.random()), 1.0)]
        for day in days[1:]:
            storms.append((day, STEP * rnd.randint(12, 72), rnd.uniform(0.20, 0.60), 1.0, rnd.uniform(0.05, 0.30)))
        if year == OUT_OF_SERVICE:
            continue  # drawn all the same, so the other years stay as they are
        rows = []
        for day, length, r, p, scale in storms:
            start = datetime.datetime(day.year, day.month, day.day, rnd.randint(0, 17), STEP * rnd.randint(0, 11))
            rows += storm_rows(start, length, r, p, scale)
        rows.sort()
        # UTF-8 with a byte-order mark and CR LF, as Excel's "CSV UTF-8" writes it.
        with open("records-%d.csv" % year, "w", encoding="utf-8-sig", newline="\r\n") as f:
            f.write("时间,雨量(mm)\n")
            for time, tenths in rows:
                f.write("%s,%d.%d\n" % (time.strftime("%Y-%m-%d %H:%M"), tenths // 10, tenths % 10))


if __name__ == "__main__":
    main()
